#include <cerrno>
#include <cstring>

#include "onefile/carried_folder.h"
#include "onefile/carried_format.h"

namespace onefile {

using namespace carried;

CCarriedReader::CCarriedReader(FILE* in, uint64_t streamBytes)
    : m_in(in), m_left(streamBytes), m_inBuffer(kInBufferSize), m_out(kOutBufferSize) {}

CCarriedReader::~CCarriedReader() {
  lzma_end(&m_lzma);
}

CarryResult CCarriedReader::Fail(CarryFault fault, const std::string& name, int error) {
  if (fault == CarryFault::kReadFailed && error == 0)
    error = errno;
  m_failed = {fault, name, error};
  return m_failed;
}

CarryFault CCarriedReader::Fill() {
  if (!m_started) {
    // No LZMA_CONCATENATED: one stream, and what follows it is the caller's to refuse.
    lzma_ret ret = lzma_stream_decoder(&m_lzma, kDecoderMemoryLimit, 0);
    if (ret != LZMA_OK)
      return CarryFault::kOutOfMemory;
    m_started = true;
  }
  m_outAt = 0;
  m_outEnd = 0;
  while (m_outEnd == 0) {
    if (m_streamEnd)
      return CarryFault::kSizeMismatch;  // the files claim more bytes than the stream holds
    if (m_lzma.avail_in == 0 && m_left > 0) {
      size_t want = m_left < m_inBuffer.size() ? static_cast<size_t>(m_left) : m_inBuffer.size();
      size_t got = fread(m_inBuffer.data(), 1, want, m_in);
      if (got == 0)
        return ferror(m_in) ? CarryFault::kReadFailed : CarryFault::kTruncated;
      m_left -= got;
      m_lzma.next_in = m_inBuffer.data();
      m_lzma.avail_in = got;
    }
    m_lzma.next_out = m_out.data();
    m_lzma.avail_out = m_out.size();
    lzma_ret ret = lzma_code(&m_lzma, m_lzma.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
    m_outEnd = m_out.size() - m_lzma.avail_out;
    if (ret == LZMA_STREAM_END) {
      m_streamEnd = true;
    } else if (ret == LZMA_BUF_ERROR) {
      return CarryFault::kTruncated;  // no input left and the stream unfinished
    } else if (ret == LZMA_MEM_ERROR || ret == LZMA_MEMLIMIT_ERROR) {
      return CarryFault::kOutOfMemory;
    } else if (ret != LZMA_OK) {
      // LZMA_FORMAT_ERROR, LZMA_DATA_ERROR, LZMA_OPTIONS_ERROR: not an intact xz stream.
      return CarryFault::kDamaged;
    }
  }
  return CarryFault::kNone;
}

CarryFault CCarriedReader::Take(unsigned char* dst, size_t size, uint32_t* crc) {
  while (size > 0) {
    if (m_outAt == m_outEnd) {
      CarryFault fault = Fill();
      if (fault != CarryFault::kNone)
        return fault;
    }
    size_t n = m_outEnd - m_outAt < size ? m_outEnd - m_outAt : size;
    memcpy(dst, m_out.data() + m_outAt, n);
    if (crc != nullptr)
      *crc = lzma_crc32(dst, n, *crc);
    m_outAt += n;
    dst += n;
    size -= n;
  }
  return CarryFault::kNone;
}

// After the trailer: the xz stream must end there, with its check, and fill the given length.
CarryFault CCarriedReader::ExpectEnd() {
  if (m_outAt != m_outEnd)
    return CarryFault::kSizeMismatch;
  while (!m_streamEnd) {
    CarryFault fault = Fill();
    if (fault != CarryFault::kNone)
      return fault;
    if (m_outEnd != 0)
      return CarryFault::kSizeMismatch;  // decoded bytes after the trailer
  }
  if (m_lzma.avail_in > 0 || m_left > 0)
    return CarryFault::kTrailingData;
  return CarryFault::kNone;
}

CarryResult CCarriedReader::ReadHeader(CarriedHeader* header) {
  if (m_failed.fault != CarryFault::kNone)
    return m_failed;
  if (!m_headerRead) {
    unsigned char bytes[kHeaderSize];
    CarryFault fault = Take(bytes, sizeof bytes, &m_crc);
    if (fault == CarryFault::kSizeMismatch)
      fault = CarryFault::kBadHeader;  // a whole stream too short to hold a header
    if (fault != CarryFault::kNone)
      return Fail(fault);
    if (memcmp(bytes, kMagic, 8) != 0 || GetLe(bytes + 8, 4) != kCarriedFormatVersion)
      return Fail(CarryFault::kBadHeader);
    m_header.fileCount = static_cast<uint32_t>(GetLe(bytes + 12, 4));
    m_header.totalBytes = GetLe(bytes + 16, 8);
    if (m_header.fileCount == 0 || m_header.fileCount > kMaxCarriedFiles)
      return Fail(CarryFault::kBadHeader);
    m_headerRead = true;
  }
  *header = m_header;
  return {};
}

CarryResult CCarriedReader::ReadFiles(ICarrySink* sink) {
  CarriedHeader header;
  CarryResult result = ReadHeader(&header);
  if (!result.ok())
    return result;
  std::vector<std::string> names;
  uint64_t total = 0;
  for (uint32_t i = 0; i < header.fileCount; ++i) {
    unsigned char start[3];
    CarryFault fault = Take(start, 3, &m_crc);
    if (fault != CarryFault::kNone)
      return Fail(fault);
    if (start[0] != kFileMark)
      return Fail(start[0] == kEndMark[0] ? CarryFault::kSizeMismatch : CarryFault::kDamaged);
    size_t nameLength = static_cast<size_t>(GetLe(start + 1, 2));
    if (nameLength == 0 || nameLength > kNameMax)
      return Fail(CarryFault::kUnsafeName);
    unsigned char nameBytes[kNameMax];
    fault = Take(nameBytes, nameLength, &m_crc);
    if (fault != CarryFault::kNone)
      return Fail(fault);
    std::string name(reinterpret_cast<char*>(nameBytes), nameLength);
    if (CheckCarriedName(name) != CarryFault::kNone)
      return Fail(CarryFault::kUnsafeName, name);
    if (HasName(names, name))
      return Fail(CarryFault::kDuplicateName, name);
    names.push_back(name);
    unsigned char sizeBytes[8];
    fault = Take(sizeBytes, 8, &m_crc);
    if (fault != CarryFault::kNone)
      return Fail(fault, name);
    uint64_t size = GetLe(sizeBytes, 8);
    // Checked before the sink sees the file, so a lying size never makes a huge file.
    if (size > header.totalBytes - total)
      return Fail(CarryFault::kSizeMismatch, name);
    total += size;
    if (!sink->BeginFile(name, size))
      return Fail(CarryFault::kSinkFailed, name);
    uint64_t left = size;
    while (left > 0) {
      if (m_outAt == m_outEnd) {
        fault = Fill();
        if (fault != CarryFault::kNone)
          return Fail(fault, name);
      }
      size_t n = m_outEnd - m_outAt;
      if (n > left)
        n = static_cast<size_t>(left);
      const unsigned char* piece = m_out.data() + m_outAt;
      m_crc = lzma_crc32(piece, n, m_crc);
      if (!sink->WriteBytes(piece, n))
        return Fail(CarryFault::kSinkFailed, name);
      m_outAt += n;
      left -= n;
    }
    if (!sink->EndFile())
      return Fail(CarryFault::kSinkFailed, name);
  }
  if (total != header.totalBytes)
    return Fail(CarryFault::kSizeMismatch);
  unsigned char trailer[8];
  CarryFault fault = Take(trailer, sizeof trailer, nullptr);
  if (fault != CarryFault::kNone)
    return Fail(fault);
  if (trailer[0] == kFileMark)
    return Fail(CarryFault::kSizeMismatch);  // more files than the header counts
  if (memcmp(trailer, kEndMark, 4) != 0 || GetLe(trailer + 4, 4) != m_crc)
    return Fail(CarryFault::kDamaged);
  fault = ExpectEnd();
  if (fault != CarryFault::kNone)
    return Fail(fault);
  return {};
}

}  // namespace onefile
