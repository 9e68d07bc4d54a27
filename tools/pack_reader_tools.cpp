#include "tools/pack_reader_tools.h"

#include <cstring>

#include "package/pack_file.h"
#include "package/pack_format.h"
#include "package/pack_walk.h"
#include "package/unzip_single.h"
#include "platform/file.h"
#include "platform/fs.h"

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kLocalUnpackedSizeOffset = 22;

bool Fault(PackFault* fault, uint64_t offset, const std::string& name, const std::string& what) {
  fault->offset = offset;
  fault->name = name;
  fault->what = what;
  return false;
}

bool OpenFault(PackFault* fault, const std::string& path) {
  return Fault(fault, 0, "",
               "cannot open " + platform::HostPath(path.c_str()) + ": " +
                   platform::ErrorText(platform::LastError()));
}

// Unpacks each member, stopping at the first that does not arrive intact.
class ExtractPass : public IMemberVisitor {
 public:
  ExtractPass(bool keepFiles, const std::function<void(const std::string&)>& extracted,
              size_t* members, PackFault* fault)
      : m_bKeepFiles(keepFiles), m_extracted(extracted), m_members(members), m_fault(fault) {}

  bool BeforeUnpack(const PackMember&) override { return true; }

  bool AfterUnpack(const PackMember& member, UnzipFault fault) override {
    if (fault != UnzipFault::kNone)
      return Fault(m_fault, m_offset, member.name, DescribeUnzipFault(fault));
    ++*m_members;
    if (m_extracted)
      m_extracted(member.path);
    if (!m_bKeepFiles)
      platform::RemoveFile(member.path);
    m_offset += kPackHeaderSize + member.dataSize;
    return true;
  }

  // Of the member being read: where a fault the package stopped on lies.
  uint64_t Offset() const { return m_offset; }

 private:
  bool m_bKeepFiles;
  const std::function<void(const std::string&)>& m_extracted;
  size_t* m_members;
  PackFault* m_fault;
  uint64_t m_offset = 0;
};

}  // namespace

bool ListPack(const std::string& pakPath, const std::function<void(const MemberListing&)>& list,
              PackFault* fault) {
  *fault = PackFault();
  platform::CFile pak;
  if (!pak.Open(pakPath.c_str(), "rb"))
    return OpenFault(fault, pakPath);
  platform::SeekFile(pak.Get(), 0, SEEK_END);
  uint64_t fileSize = static_cast<uint64_t>(platform::TellFile(pak.Get()));
  platform::SeekFile(pak.Get(), 0, SEEK_SET);

  for (uint64_t offset = 0;;) {
    unsigned char bytes[kPackHeaderSize];
    size_t got = fread(bytes, 1, sizeof bytes, pak.Get());
    if (got == 0)
      return true;
    if (got < sizeof bytes)
      return Fault(fault, offset, "", "the package ends inside a member header");
    PackHeader header = ParsePackHeader(bytes);
    MemberListing member;
    member.name.assign(header.name,
                       header.nameLength < kPackNameSize ? header.nameLength : kPackNameSize - 1);
    member.packedSize = header.dataSize;
    if (header.check != NameCheck::kOk)
      return Fault(fault, offset, member.name,
                   std::string("the member name ") + DescribeNameCheck(header.check));
    uint64_t dataEnd = offset + kPackHeaderSize + member.packedSize;
    if (dataEnd > fileSize)
      return Fault(fault, offset, member.name, "the package ends inside the member's data");

    unsigned char local[kLocalHeaderSize];
    size_t want = member.packedSize < kLocalHeaderSize ? member.packedSize : kLocalHeaderSize;
    if (fread(local, 1, want, pak.Get()) == kLocalHeaderSize &&
        ReadLittleEndian32(local) == kLocalHeaderSignature)
      member.unpackedSize = ReadLittleEndian32(local + kLocalUnpackedSizeOffset);
    list(member);
    offset = dataEnd;
    if (!platform::SeekFile(pak.Get(), static_cast<int64_t>(offset), SEEK_SET))
      return Fault(fault, offset, "", "cannot seek in the package");
  }
}

bool ExtractPack(const std::string& pakPath, const std::string& destFolder, bool keepFiles,
                 const std::function<void(const std::string&)>& extracted, size_t* members,
                 PackFault* fault) {
  *fault = PackFault();
  *members = 0;
  // The installer's own walk, so that what passes here installs.
  CPackFile reader;
  if (!reader.Open(pakPath.c_str(), true))
    return OpenFault(fault, pakPath);
  ExtractPass pass(keepFiles, extracted, members, fault);
  if (WalkPackage(&reader, destFolder.c_str(), &pass) == WalkEnd::kVisitorStopped)
    return false;
  if (reader.StopReason() == PackStop::kEnd)
    return true;
  std::string what = DescribePackStop(reader.StopReason());
  if (reader.StopReason() == PackStop::kIoError)
    what += ": " + platform::ErrorText(reader.StopError());
  return Fault(fault, pass.Offset(), reader.StopName(), what);
}

bool VerifyPack(const std::string& pakPath, size_t* members, PackFault* fault,
                uint64_t* unpackedBytes, const std::function<void(const std::string&)>& look) {
  std::string scratch;
  if (!platform::MakeTempFolder("mkpak", &scratch)) {
    *members = 0;
    return Fault(fault, 0, "",
                 "cannot create a temporary folder: " + platform::ErrorText(platform::LastError()));
  }
  uint64_t total = 0;
  auto measure = [&total, &look](const std::string& path) {
    if (look)
      look(path);
    platform::CFile file;
    if (file.Open(path.c_str(), "rb") && platform::SeekFile(file.Get(), 0, SEEK_END))
      total += static_cast<uint64_t>(platform::TellFile(file.Get()));
  };
  bool ok = ExtractPack(pakPath, scratch, false, measure, members, fault);
  if (unpackedBytes)
    *unpackedBytes = total;
  platform::RemoveTree(scratch.c_str());
  return ok;
}
