#include "onefile/carried_unpack.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "onefile/carried_folder.h"
#include "onefile/carried_format.h"
#include "platform/file.h"
#include "platform/fs.h"

namespace onefile {

namespace {

constexpr uint64_t kMegabyte = 1u << 20;
constexpr size_t kHashPiece = 256 * 1024;

std::string Damaged(const char* why) {
  return std::string("This setup program is damaged or incomplete (") + why +
         "). Please download it again.";
}

// The stream at the sealed place, whole and with the sealed digest. Read before any decoding:
// the codec never sees a byte the seal does not vouch for.
CarryFault CheckAgainstSeal(FILE* self, const Seal& seal) {
  if (!platform::SeekFile(self, 0, SEEK_END))
    return CarryFault::kReadFailed;
  int64_t size = platform::TellFile(self);
  if (size < 0)
    return CarryFault::kReadFailed;
  if (seal.streamOffset > static_cast<uint64_t>(size) ||
      seal.streamBytes > static_cast<uint64_t>(size) - seal.streamOffset)
    return CarryFault::kTruncated;
  if (!platform::SeekFile(self, static_cast<int64_t>(seal.streamOffset), SEEK_SET))
    return CarryFault::kReadFailed;
  platform::CSha256 hash;
  std::vector<unsigned char> piece(kHashPiece);
  for (uint64_t left = seal.streamBytes; left > 0;) {
    size_t want = left < piece.size() ? static_cast<size_t>(left) : piece.size();
    if (fread(piece.data(), 1, want, self) != want)
      return ferror(self) ? CarryFault::kReadFailed : CarryFault::kTruncated;
    hash.Update(piece.data(), want);
    left -= want;
  }
  unsigned char digest[platform::kSha256Size];
  hash.Finish(digest);
  if (memcmp(digest, seal.digest, sizeof digest) != 0)
    return CarryFault::kDamaged;
  return platform::SeekFile(self, static_cast<int64_t>(seal.streamOffset), SEEK_SET)
             ? CarryFault::kNone
             : CarryFault::kReadFailed;
}

// Drive letters compare as file names do.
bool SameVolume(const std::string& path, const std::string& root) {
  return root.size() == 3 && path.size() >= 3 && carried::SameFileName(path.substr(0, 3), root);
}

// Writes each file into the folder, remembering what it made so that a failure takes it away.
class CFolderSink : public ICarrySink {
 public:
  CFolderSink(const std::string& folder, IUnpackView* view) : m_folder(folder), m_view(view) {}
  ~CFolderSink() override {
    if (!m_kept) {
      m_file.Close();
      for (const std::string& path : m_made)
        platform::RemoveFile(path.c_str());
    }
  }

  bool BeginFile(const std::string& name, uint64_t) override {
    m_made.push_back(m_folder + "\\" + name);
    return Failed(m_file.Open(m_made.back().c_str(), "wb"));
  }
  bool WriteBytes(const unsigned char* data, size_t size) override {
    if (!Failed(fwrite(data, 1, size, m_file.Get()) == size))
      return false;
    m_view->AddBytes(size);
    return true;
  }
  bool EndFile() override { return Failed(m_file.Close()); }

  void Keep() { m_kept = true; }
  platform::ErrorCode Error() const { return m_error; }

 private:
  bool Failed(bool ok) {
    if (!ok && m_error == 0)
      m_error = platform::LastError();
    return ok;
  }

  std::string m_folder;
  IUnpackView* m_view;
  platform::CFile m_file;
  std::vector<std::string> m_made;
  platform::ErrorCode m_error = 0;
  bool m_kept = false;
};

}  // namespace

bool UnpackCarried(const UnpackPlace& place, IUnpackView* view) {
  CarryFault checked = CheckAgainstSeal(place.self, place.seal);
  if (checked == CarryFault::kReadFailed) {
    view->ShowMessage("This setup program could not read its own file: " +
                      platform::ErrorText(platform::LastError()));
    return false;
  }
  if (checked != CarryFault::kNone) {
    view->ShowMessage(Damaged(DescribeCarryFault(checked)));
    return false;
  }
  CCarriedReader reader(place.self, place.seal.streamBytes);
  CarriedHeader header;
  CarryResult result = reader.ReadHeader(&header);
  if (!result.ok()) {
    view->ShowMessage(Damaged(DescribeCarryFault(result.fault)));
    return false;
  }
  uint64_t need = header.totalBytes;
  if (SameVolume(place.folder, place.seal.installRoot))
    need += place.seal.needspace * kMegabyte;
  uint64_t available = 0;
  if (platform::FreeBytesAvailable((place.folder + "\\").c_str(), &available) && available < need) {
    char text[300];
    snprintf(text, sizeof text,
             "There is not enough free disk space to unpack and install this program: it needs "
             "%" PRIu64 " MB on the drive of %s, and %" PRIu64 " MB are free.",
             (need + kMegabyte - 1) / kMegabyte, place.folder.c_str(), available / kMegabyte);
    view->ShowMessage(text);
    return false;
  }
  view->BeginBytes(header.totalBytes);
  CFolderSink sink(place.folder, view);
  result = reader.ReadFiles(&sink);
  if (result.fault == CarryFault::kSinkFailed) {
    view->ShowMessage("The setup files could not be written to " + place.folder + ": " +
                      platform::ErrorText(sink.Error()));
    return false;
  }
  if (result.fault == CarryFault::kReadFailed) {
    view->ShowMessage("This setup program could not read its own file: " +
                      platform::ErrorText(platform::LastError()));
    return false;
  }
  if (!result.ok()) {
    view->ShowMessage(Damaged(DescribeCarryFault(result.fault)));
    return false;
  }
  sink.Keep();
  return true;
}

}  // namespace onefile
