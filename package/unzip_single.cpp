#include "package/unzip_single.h"

#include <unzip.h>

#include <cstdio>

#include "platform/fs.h"

namespace {

constexpr unsigned kTransferBufferSize = 16384;

// Closes the archive on every path out of UnzipSingleFile.
class UnzArchive {
 public:
  explicit UnzArchive(const char* path) : m_handle(unzOpen(platform::HostPath(path).c_str())) {}
  ~UnzArchive() {
    if (m_handle)
      unzClose(m_handle);
  }
  UnzArchive(const UnzArchive&) = delete;
  UnzArchive& operator=(const UnzArchive&) = delete;
  unzFile get() const { return m_handle; }

 private:
  unzFile m_handle;
};

bool Fail(UnzipFault* fault, UnzipFault reason) {
  if (fault)
    *fault = reason;
  return false;
}

// Streams the open member into out; returns the first fault, kNone when all of it arrived.
UnzipFault CopyMember(unzFile archive, FILE* out, ICopyGate* gate) {
  char buffer[kTransferBufferSize];
  for (;;) {
    if (gate)
      gate->BetweenBuffers();
    int n = unzReadCurrentFile(archive, buffer, kTransferBufferSize);
    if (n < 0)
      return UnzipFault::kDamaged;
    if (n == 0)
      break;
    if (fwrite(buffer, 1, static_cast<size_t>(n), out) != static_cast<size_t>(n))
      return UnzipFault::kWriteFailed;
  }
  // A read of 0 before the declared size means the data stopped short without an error.
  return unzeof(archive) ? UnzipFault::kNone : UnzipFault::kDamaged;
}

}  // namespace

bool UnzipSingleFile(const char* zipPath, const char* destPath) {
  return UnzipSingleFile(zipPath, destPath, nullptr);
}

bool UnzipSingleFile(const char* zipPath, const char* destPath, UnzipFault* fault) {
  return UnzipSingleFile(zipPath, destPath, fault, nullptr);
}

bool UnzipSingleFile(const char* zipPath, const char* destPath, UnzipFault* fault,
                     ICopyGate* gate) {
  if (fault)
    *fault = UnzipFault::kNone;
  UnzArchive archive(zipPath);
  if (!archive.get())
    return Fail(fault, UnzipFault::kNotZip);

  unz_file_info info;
  if (unzGetCurrentFileInfo(archive.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return Fail(fault, UnzipFault::kBadMember);
  // Without a password its bytes would be written out as if they were the file.
  if (info.flag & 1)
    return Fail(fault, UnzipFault::kEncrypted);
  if (unzOpenCurrentFile(archive.get()) != UNZ_OK)
    return Fail(fault, UnzipFault::kBadMember);

  FILE* out = platform::OpenFile(destPath, "wb");
  if (!out)
    return Fail(fault, UnzipFault::kCannotWrite);
  UnzipFault copied = CopyMember(archive.get(), out, gate);
  if (fclose(out) != 0 && copied == UnzipFault::kNone)
    copied = UnzipFault::kWriteFailed;
  // Reports a CRC mismatch once every byte has been read.
  int closed = unzCloseCurrentFile(archive.get());
  if (copied == UnzipFault::kNone && closed == UNZ_CRCERROR)
    copied = UnzipFault::kCrcMismatch;
  if (copied == UnzipFault::kNone && closed != UNZ_OK)
    copied = UnzipFault::kDamaged;
  return copied == UnzipFault::kNone ? true : Fail(fault, copied);
}

const char* DescribeUnzipFault(UnzipFault fault) {
  switch (fault) {
    case UnzipFault::kNone:
      return "unpacked intact";
    case UnzipFault::kNotZip:
      return "the archive is missing or not a zip archive";
    case UnzipFault::kBadMember:
      return "the archive's first member cannot be opened";
    case UnzipFault::kEncrypted:
      return "the archive's member is encrypted";
    case UnzipFault::kCannotWrite:
      return "the output file cannot be opened for writing";
    case UnzipFault::kDamaged:
      return "the member's data is damaged";
    case UnzipFault::kCrcMismatch:
      return "the member's CRC does not match its data";
    case UnzipFault::kWriteFailed:
      return "the output file could not be written completely";
  }
  return "unpacking failed";
}
