#include "package/unzip_single.h"

#include <unzip.h>

#include <cstdio>
#include <cstring>

#include "platform/file.h"
#include "platform/file_closer.h"
#include "platform/fs.h"
#include "platform/held_folder.h"

namespace {

constexpr unsigned kTransferBufferSize = 16384;

RefuseOutputFn g_refuseOutput = nullptr;

// Serves minizip's reads from an ArchiveSpan. Positions are the archive's own, from 0.
class SpanReader {
 public:
  explicit SpanReader(const ArchiveSpan& span) : m_span(span) {}

  zlib_filefunc64_def Functions() {
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = &Open;
    functions.zread_file = &Read;
    functions.zwrite_file = &Write;
    functions.ztell64_file = &Tell;
    functions.zseek64_file = &Seek;
    functions.zclose_file = &Close;
    functions.zerror_file = &Error;
    functions.opaque = this;
    return functions;
  }

 private:
  static SpanReader* Self(voidpf opaque) { return static_cast<SpanReader*>(opaque); }

  static voidpf ZCALLBACK Open(voidpf opaque, const void*, int) { return opaque; }

  static uLong ZCALLBACK Read(voidpf opaque, voidpf, void* buffer, uLong size) {
    SpanReader* self = Self(opaque);
    const ArchiveSpan& span = self->m_span;
    uint64_t left = span.size - self->m_pos;
    size_t want = size < left ? size : static_cast<size_t>(left);
    size_t got = want;
    if (span.data) {
      memcpy(buffer, span.data + self->m_pos, want);
    } else {
      // minizip seeks before every read; only a real jump costs the stream its buffer.
      int64_t at = span.offset + static_cast<int64_t>(self->m_pos);
      if (at != self->m_streamPos && !platform::SeekFile(span.stream, at, SEEK_SET)) {
        self->m_failed = true;
        return 0;
      }
      got = fread(buffer, 1, want, span.stream);
      self->m_streamPos = at + static_cast<int64_t>(got);
      if (got < want)
        self->m_failed = true;
    }
    self->m_pos += got;
    return static_cast<uLong>(got);
  }

  static uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }

  static ZPOS64_T ZCALLBACK Tell(voidpf opaque, voidpf) { return Self(opaque)->m_pos; }

  static long ZCALLBACK Seek(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
    SpanReader* self = Self(opaque);
    uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? self->m_pos
                    : origin == ZLIB_FILEFUNC_SEEK_END ? self->m_span.size
                                                       : 0;
    // Offsets wrap like the unsigned arithmetic minizip does; anything outside the span fails.
    uint64_t target = base + offset;
    if (target > self->m_span.size)
      return -1;
    self->m_pos = target;
    return 0;
  }

  static int ZCALLBACK Close(voidpf, voidpf) { return 0; }

  static int ZCALLBACK Error(voidpf opaque, voidpf) { return Self(opaque)->m_failed ? 1 : 0; }

  ArchiveSpan m_span;
  uint64_t m_pos = 0;
  int64_t m_streamPos = -1;  // where the stream stands, when we know it
  bool m_failed = false;
};

// Closes the archive on every path out of UnzipSingleFile.
class UnzArchive {
 public:
  explicit UnzArchive(const char* path) : m_handle(unzOpen(platform::HostPath(path).c_str())) {}
  explicit UnzArchive(SpanReader* reader) {
    zlib_filefunc64_def functions = reader->Functions();
    // The name only has to be non-null: the reader's Open ignores it.
    m_handle = unzOpen2_64("", &functions);
  }
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

// Buffered bytes reach the disk here; a full disk shows up now. The close itself is the closer's
// when there is one.
bool FinishOutput(platform::CFile* out, const char* destPath, platform::CFileCloser* closer) {
  if (!closer)
    return out->Close();
  if (fflush(out->Get()) != 0)
    return false;
  closer->Close(out->Release(), destPath);
  return true;
}

// Unpacks into destPath, or, given a target, into its name inside its held folder.
bool UnzipOpened(const UnzArchive& archive, const char* destPath, const MemberTarget* target,
                 UnzipFault* fault, ICopyGate* gate, platform::CFileCloser* closer) {
  if (fault)
    *fault = UnzipFault::kNone;
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

  platform::CFile out;
  platform::EntryFault entry = platform::EntryFault::kNone;
  platform::ErrorCode refused = g_refuseOutput ? g_refuseOutput(destPath) : 0;
  bool opened = !refused && (target ? out.OpenReplacingIn(*target->folder, target->name, &entry)
                                    : out.Open(destPath, "wb"));
  if (!opened) {
    // Told apart because the user can act on it: close the program that holds the file.
    platform::ErrorCode error = refused ? refused : platform::LastError();
    bool inUse = platform::ClassifyError(error) == platform::FsError::kInUse;
    return Fail(fault, inUse ? UnzipFault::kInUse : UnzipFault::kCannotWrite);
  }
  UnzipFault copied = CopyMember(archive.get(), out.Get(), gate);
  if (!FinishOutput(&out, destPath, closer) && copied == UnzipFault::kNone)
    copied = UnzipFault::kWriteFailed;
  // Reports a CRC mismatch once every byte has been read.
  int closed = unzCloseCurrentFile(archive.get());
  if (copied == UnzipFault::kNone && closed == UNZ_CRCERROR)
    copied = UnzipFault::kCrcMismatch;
  if (copied == UnzipFault::kNone && closed != UNZ_OK)
    copied = UnzipFault::kDamaged;
  return copied == UnzipFault::kNone ? true : Fail(fault, copied);
}

}  // namespace

bool UnzipSingleFile(const char* zipPath, const char* destPath) {
  return UnzipSingleFile(zipPath, destPath, nullptr);
}

bool UnzipSingleFile(const char* zipPath, const char* destPath, UnzipFault* fault) {
  UnzArchive archive(zipPath);
  return UnzipOpened(archive, destPath, nullptr, fault, nullptr, nullptr);
}

bool UnzipSingleFile(const ArchiveSpan& span, const MemberTarget& target, UnzipFault* fault,
                     ICopyGate* gate, platform::CFileCloser* closer) {
  SpanReader reader(span);
  UnzArchive archive(&reader);
  return UnzipOpened(archive, target.path, &target, fault, gate, closer);
}

void SetRefuseOutputForTesting(RefuseOutputFn fn) {
  g_refuseOutput = fn;
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
    case UnzipFault::kLinkedFolder:
      return "a folder on its way is a link or junction: nothing was written through it";
    case UnzipFault::kInUse:
      return "the file is in use by another program";
  }
  return "unpacking failed";
}
