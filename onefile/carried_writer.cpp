#include <cerrno>
#include <cstring>

#include "onefile/carried_folder.h"
#include "onefile/carried_format.h"
#include "platform/file.h"

namespace onefile {

using namespace carried;

namespace {

// Owns an lzma_stream for one encode or decode.
struct LzmaOwner {
  lzma_stream stream = LZMA_STREAM_INIT;
  ~LzmaOwner() { lzma_end(&stream); }
};

// Feeds bytes through the encoder to out, keeping the CRC-32 of what the trailer covers.
class CEncoder {
 public:
  explicit CEncoder(FILE* out) : m_out(out), m_buffer(kOutBufferSize) {}

  // At kCarryLevel a 64 MiB dictionary: the decoder needs about 65 MiB, the encoder 674 MiB.
  CarryFault Start(int level) {
    uint32_t preset =
        static_cast<uint32_t>(level) | (level == kCarryLevel ? LZMA_PRESET_EXTREME : 0);
    lzma_ret ret = lzma_easy_encoder(&m_lzma.stream, preset, LZMA_CHECK_CRC64);
    return ret == LZMA_OK
               ? CarryFault::kNone
               : (ret == LZMA_MEM_ERROR ? CarryFault::kOutOfMemory : CarryFault::kWriteFailed);
  }

  CarryFault Put(const unsigned char* data, size_t size, bool covered = true) {
    if (covered)
      m_crc = lzma_crc32(data, size, m_crc);
    m_lzma.stream.next_in = data;
    m_lzma.stream.avail_in = size;
    while (m_lzma.stream.avail_in > 0) {
      CarryFault fault = Run(LZMA_RUN);
      if (fault != CarryFault::kNone)
        return fault;
    }
    return CarryFault::kNone;
  }

  CarryFault Finish() {
    unsigned char trailer[8];
    memcpy(trailer, kEndMark, 4);
    PutLe(trailer + 4, m_crc, 4);
    CarryFault fault = Put(trailer, sizeof trailer, false);
    if (fault != CarryFault::kNone)
      return fault;
    m_lzma.stream.avail_in = 0;
    while (!m_done) {
      fault = Run(LZMA_FINISH);
      if (fault != CarryFault::kNone)
        return fault;
    }
    return CarryFault::kNone;
  }

 private:
  CarryFault Run(lzma_action action) {
    m_lzma.stream.next_out = m_buffer.data();
    m_lzma.stream.avail_out = m_buffer.size();
    lzma_ret ret = lzma_code(&m_lzma.stream, action);
    if (ret == LZMA_STREAM_END)
      m_done = true;
    else if (ret != LZMA_OK)
      return ret == LZMA_MEM_ERROR ? CarryFault::kOutOfMemory : CarryFault::kWriteFailed;
    size_t made = m_buffer.size() - m_lzma.stream.avail_out;
    if (made > 0 && fwrite(m_buffer.data(), 1, made, m_out) != made)
      return CarryFault::kWriteFailed;
    return CarryFault::kNone;
  }

  FILE* m_out;
  LzmaOwner m_lzma;
  std::vector<unsigned char> m_buffer;
  uint32_t m_crc = 0;
  bool m_done = false;
};

// The size of an open file, or -1; data.pak may pass 2 GiB, where long (and ftell) end on Windows.
int64_t SizeOf(FILE* f) {
#ifdef _WIN32
  return _fseeki64(f, 0, SEEK_END) == 0 ? _ftelli64(f) : -1;
#else
  return fseeko(f, 0, SEEK_END) == 0 ? static_cast<int64_t>(ftello(f)) : -1;
#endif
}

struct OpenSource {
  platform::CFile file;
  uint64_t size = 0;
};

// Opens every source and learns its size, so the header can be written before any bytes.
CarryResult OpenSources(const std::vector<CarriedFile>& files, std::vector<OpenSource>* sources) {
  sources->resize(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    OpenSource& source = (*sources)[i];
    errno = 0;
    if (!source.file.Open(files[i].source.c_str(), "rb"))
      return {CarryFault::kSourceFailed, files[i].name, errno};
    int64_t size = SizeOf(source.file.Get());
    if (size < 0)
      return {CarryFault::kSourceFailed, files[i].name, errno};
    source.size = static_cast<uint64_t>(size);
    if (fseek(source.file.Get(), 0, SEEK_SET) != 0)
      return {CarryFault::kSourceFailed, files[i].name, errno};
  }
  return {};
}

CarryResult CopySource(CEncoder* encoder, const std::string& name, OpenSource* source,
                       std::vector<unsigned char>* buffer) {
  uint64_t left = source->size;
  while (left > 0) {
    size_t want = left < buffer->size() ? static_cast<size_t>(left) : buffer->size();
    size_t got = fread(buffer->data(), 1, want, source->file.Get());
    if (got != want)
      return {CarryFault::kSourceFailed, name, errno};
    CarryFault fault = encoder->Put(buffer->data(), got);
    if (fault != CarryFault::kNone)
      return {fault, name, errno};
    left -= got;
  }
  // A file that grew while it was read would not match the size in its header.
  if (fgetc(source->file.Get()) != EOF)
    return {CarryFault::kSourceFailed, name, 0};
  return {};
}

}  // namespace

CarryResult WriteCarriedFolder(const std::vector<CarriedFile>& files, FILE* out, int level) {
  if (level < 0 || level > kCarryLevel)
    return {CarryFault::kWriteFailed, "", EINVAL};
  if (files.empty())
    return {CarryFault::kNoFiles, "", 0};
  if (files.size() > kMaxCarriedFiles)
    return {CarryFault::kTooManyFiles, "", 0};
  std::vector<std::string> names;
  for (const CarriedFile& file : files) {
    if (CheckCarriedName(file.name) != CarryFault::kNone)
      return {CarryFault::kUnsafeName, file.name, 0};
    if (HasName(names, file.name))
      return {CarryFault::kDuplicateName, file.name, 0};
    names.push_back(file.name);
  }
  std::vector<OpenSource> sources;
  CarryResult opened = OpenSources(files, &sources);
  if (!opened.ok())
    return opened;

  CEncoder encoder(out);
  CarryFault fault = encoder.Start(level);
  if (fault != CarryFault::kNone)
    return {fault, "", 0};
  unsigned char header[kHeaderSize];
  uint64_t total = 0;
  for (const OpenSource& source : sources)
    total += source.size;
  memcpy(header, kMagic, 8);
  PutLe(header + 8, kCarriedFormatVersion, 4);
  PutLe(header + 12, files.size(), 4);
  PutLe(header + 16, total, 8);
  fault = encoder.Put(header, sizeof header);
  if (fault != CarryFault::kNone)
    return {fault, "", errno};

  std::vector<unsigned char> buffer(kOutBufferSize);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& name = files[i].name;
    unsigned char entry[1 + 2 + kNameMax + 8];
    entry[0] = kFileMark;
    PutLe(entry + 1, name.size(), 2);
    memcpy(entry + 3, name.data(), name.size());
    PutLe(entry + 3 + name.size(), sources[i].size, 8);
    fault = encoder.Put(entry, 3 + name.size() + 8);
    if (fault != CarryFault::kNone)
      return {fault, name, errno};
    CarryResult copied = CopySource(&encoder, name, &sources[i], &buffer);
    if (!copied.ok())
      return copied;
  }
  fault = encoder.Finish();
  if (fault != CarryFault::kNone)
    return {fault, "", errno};
  return {};
}

}  // namespace onefile
