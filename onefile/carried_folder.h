#pragma once
// The one-file distribution carries a flat folder (setup.exe, setup.ini, data.pak, ...) after its
// own image as one solid compressed stream. mkpak writes the stream; the carrying program reads
// it into a new folder and runs setup.exe from there.
//
// The stream is one xz stream (liblzma, preset 9e: a 64 MiB dictionary, CRC-64 check) holding
//   header   8 bytes "CARRIED\x1a", u32 format version (1), u32 file count (1 to kMaxCarriedFiles),
//            u64 unpacked bytes of all files together
//   per file 'F', u16 name length, the name, u64 size, the bytes
//   trailer  4 bytes "END\x1a", u32 CRC-32 of everything before the trailer
// all numbers little-endian. The same files give the same bytes.
//
// Contract for the reader: the sink sees names and bytes as they are decoded, before the stream
// is known to be whole. Only a result of kNone from ReadFiles says every file arrived intact (the
// codec's check and the trailer's CRC-32 agree, the header's counts hold, nothing follows the
// stream within its length). On any other result the caller must delete what the sink made and
// run nothing from it.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <lzma.h>

namespace onefile {

constexpr uint32_t kCarriedFormatVersion = 1;
// The writer holds every source open at once; the C runtime on Windows allows 512 streams.
constexpr uint32_t kMaxCarriedFiles = 256;
// Everything the decoder allocates: liblzma's own state (the 64 MiB dictionary and about 30 KiB
// besides) is refused above this, and the reader's buffers come to 320 KiB.
constexpr uint64_t kDecoderMemoryLimit = 80ull << 20;

enum class CarryFault {
  kNone,
  kNoFiles,        // writing: an empty list
  kTooManyFiles,   // more than kMaxCarriedFiles
  kUnsafeName,     // empty, ".", "..", a separator, ':' or anything CheckMemberName refuses
  kDuplicateName,  // two names Windows would take for one file (letter case aside)
  kSourceFailed,   // writing: a source file could not be opened or read, or changed size
  kWriteFailed,    // writing: the output stream refused bytes
  kReadFailed,     // reading: the input stream failed (not its end)
  kOutOfMemory,    // the codec could not get its memory
  kTruncated,      // the stream ends early
  kDamaged,        // the codec or the CRC-32 found damaged bytes
  kBadHeader,      // not this format, another version, or a count out of range
  kSizeMismatch,   // the header's totals disagree with the files
  kTrailingData,   // bytes after the stream's end within its given length
  kSinkFailed,     // the sink refused a file
};

// Why an operation stopped, with the file it stopped on (empty when none) and for kSourceFailed
// and kReadFailed/kWriteFailed the C library's errno.
struct CarryResult {
  CarryFault fault = CarryFault::kNone;
  std::string name;
  int error = 0;
  bool ok() const { return fault == CarryFault::kNone; }
};

// A short English phrase for messages: "the stream is truncated".
const char* DescribeCarryFault(CarryFault fault);

// kNone when name may be a file of the carried folder: a plain name that CheckMemberName takes
// and that holds no backslash.
CarryFault CheckCarriedName(const std::string& name);

struct CarriedFile {
  std::string name;    // the file's name in the unpacked folder
  std::string source;  // where its bytes are read from now
};

// The xz preset the files travel at: 9 (with xz's extreme flag) makes the smallest stream.
constexpr int kCarryLevel = 9;

// Writes the files, in the given order, as one stream to out, at an xz preset from 0 to
// kCarryLevel (tests take a fast one). Names are checked first and nothing is written when one
// is refused. At kCarryLevel the encoder needs about 680 MiB.
CarryResult WriteCarriedFolder(const std::vector<CarriedFile>& files, FILE* out,
                               int level = kCarryLevel);

// What the reader hands each file to, in stream order.
class ICarrySink {
 public:
  virtual ~ICarrySink() = default;
  // A new file of size bytes; name has passed CheckCarriedName and differs from the others.
  virtual bool BeginFile(const std::string& name, uint64_t size) = 0;
  // The next bytes of that file, in pieces of up to 256 KiB, size bytes in all.
  virtual bool WriteBytes(const unsigned char* data, size_t size) = 0;
  // All of the file's bytes have been given (not yet checked: see the contract above).
  virtual bool EndFile() = 0;
};

struct CarriedHeader {
  uint32_t fileCount = 0;
  uint64_t totalBytes = 0;  // as the header states it; ReadFiles holds the files to it
};

// Reads one stream of streamBytes bytes from in, which stands at its start: first the header,
// then the files. Memory stays below kDecoderMemoryLimit whatever the stream holds.
class CCarriedReader {
 public:
  CCarriedReader(FILE* in, uint64_t streamBytes);
  ~CCarriedReader();
  CCarriedReader(const CCarriedReader&) = delete;
  CCarriedReader& operator=(const CCarriedReader&) = delete;

  // Decodes the header only, so the caller can check free space before writing anything.
  CarryResult ReadHeader(CarriedHeader* header);
  // Hands every file to sink and checks the stream to its end (reads the header first when
  // ReadHeader was not called). kNone only when the whole stream is intact.
  CarryResult ReadFiles(ICarrySink* sink);

 private:
  CarryFault Fill();  // decodes more bytes into m_out; kNone while some are there
  CarryFault Take(unsigned char* dst, size_t size, uint32_t* crc);
  CarryFault ExpectEnd();
  CarryResult Fail(CarryFault fault, const std::string& name = std::string(), int error = 0);

  FILE* m_in;
  uint64_t m_left;  // stream bytes not yet read from m_in
  lzma_stream m_lzma = LZMA_STREAM_INIT;
  bool m_started = false;
  bool m_streamEnd = false;
  bool m_headerRead = false;
  CarryResult m_failed;  // once failed, every later call gives this
  CarriedHeader m_header;
  uint32_t m_crc = 0;  // running CRC-32 of the decoded bytes before the trailer
  std::vector<unsigned char> m_inBuffer;
  std::vector<unsigned char> m_out;
  size_t m_outAt = 0;
  size_t m_outEnd = 0;
};

}  // namespace onefile
