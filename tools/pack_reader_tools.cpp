#include "tools/pack_reader_tools.h"

#include <cstring>

#include "package/member_name.h"
#include "package/pack_file.h"
#include "package/unzip_single.h"
#include "platform/fs.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kLocalHeaderSize = 30;

uint32_t Le32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool Fault(PackFault* fault, uint64_t offset, const std::string& name, const std::string& what) {
  fault->found = true;
  fault->offset = offset;
  fault->name = name;
  fault->what = what;
  return false;
}

// Closes the package on every path out.
class PakStream {
 public:
  explicit PakStream(const std::string& path) : m_file(platform::OpenFile(path.c_str(), "rb")) {}
  ~PakStream() {
    if (m_file)
      fclose(m_file);
  }
  PakStream(const PakStream&) = delete;
  PakStream& operator=(const PakStream&) = delete;
  FILE* get() const { return m_file; }

 private:
  FILE* m_file;
};

bool OpenFault(PackFault* fault, const std::string& path) {
  return Fault(fault, 0, "",
               "cannot open " + platform::HostPath(path.c_str()) + ": " +
                   platform::ErrorText(platform::LastError()));
}

}  // namespace

bool ListPack(const std::string& pakPath, const std::function<void(const MemberListing&)>& list,
              PackFault* fault) {
  *fault = PackFault();
  PakStream pak(pakPath);
  if (!pak.get())
    return OpenFault(fault, pakPath);
  platform::SeekFile(pak.get(), 0, SEEK_END);
  uint64_t fileSize = static_cast<uint64_t>(platform::TellFile(pak.get()));
  platform::SeekFile(pak.get(), 0, SEEK_SET);

  for (uint64_t offset = 0;;) {
    unsigned char header[kPackHeaderSize];
    size_t got = fread(header, 1, sizeof header, pak.get());
    if (got == 0)
      return true;
    if (got < sizeof header)
      return Fault(fault, offset, "", "the package ends inside a member header");
    const char* raw = reinterpret_cast<const char*>(header);
    size_t length = strnlen(raw, kPackNameSize);
    MemberListing member;
    member.name.assign(raw, length < kPackNameSize ? length : kPackNameSize - 1);
    member.offset = offset;
    member.packedSize = Le32(header + kPackDataSizeOffset);
    if (length == kPackNameSize)
      return Fault(fault, offset, member.name, "the member name has no terminator");
    NameCheck check = CheckMemberName(raw, length);
    if (check != NameCheck::kOk)
      return Fault(fault, offset, member.name,
                   std::string("the member name ") + DescribeNameCheck(check));
    uint64_t dataEnd = offset + kPackHeaderSize + member.packedSize;
    if (dataEnd > fileSize)
      return Fault(fault, offset, member.name, "the package ends inside the member's data");

    unsigned char local[kLocalHeaderSize];
    size_t want = member.packedSize < kLocalHeaderSize ? member.packedSize : kLocalHeaderSize;
    if (fread(local, 1, want, pak.get()) == kLocalHeaderSize &&
        Le32(local) == kLocalHeaderSignature)
      member.unpackedSize = Le32(local + 22);
    list(member);
    offset = dataEnd;
    if (!platform::SeekFile(pak.get(), static_cast<int64_t>(offset), SEEK_SET))
      return Fault(fault, offset, "", "cannot seek in the package");
  }
}

bool ExtractPack(const std::string& pakPath, const std::string& destFolder, bool keepFiles,
                 const std::function<void(const std::string&)>& extracted, size_t* members,
                 PackFault* fault) {
  *fault = PackFault();
  *members = 0;
  // The installer's own loop, so that what passes here installs.
  CPackFile reader;
  if (!reader.Open(pakPath.c_str(), true))
    return OpenFault(fault, pakPath);
  char name[kPackNameSize];
  for (uint64_t offset = 0;; offset += kPackHeaderSize + reader.MemberSize()) {
    if (!reader.NextMember(destFolder.c_str(), name)) {
      if (reader.StopReason() == PackStop::kEnd)
        return true;
      std::string what = DescribePackStop(reader.StopReason());
      if (reader.StopReason() == PackStop::kIoError)
        what += ": " + platform::ErrorText(reader.StopError());
      return Fault(fault, offset, reader.StopName(), what);
    }
    std::string finalPath = destFolder + "\\" + name;
    platform::SetNormalAttributes(finalPath.c_str());
    UnzipFault unzipFault;
    if (!reader.UnzipMember(finalPath.c_str(), &unzipFault))
      return Fault(fault, offset, name, DescribeUnzipFault(unzipFault));
    ++*members;
    if (extracted)
      extracted(finalPath);
    if (!keepFiles)
      platform::RemoveFile(finalPath.c_str());
  }
}

bool VerifyPack(const std::string& pakPath, size_t* members, PackFault* fault) {
  std::string scratch;
  if (!platform::MakeTempFolder("mkpak", &scratch)) {
    *members = 0;
    return Fault(fault, 0, "",
                 "cannot create a temporary folder: " + platform::ErrorText(platform::LastError()));
  }
  bool ok = ExtractPack(pakPath, scratch, false, nullptr, members, fault);
  platform::RemoveTree(scratch.c_str());
  return ok;
}
