#include "tests/unit/pack_fixtures.h"

#include <cstring>

#include "package/pack_format.h"
#include "platform/file.h"
#include "tests/unit/test_support.h"
#include "tools/pack_writer.h"

std::string RawHeader(const std::string& name, uint32_t dataSize) {
  std::string header(kPackHeaderSize, '\0');
  memcpy(&header[0], name.data(), name.size() < kPackNameSize ? name.size() : kPackNameSize);
  WriteLittleEndian32(reinterpret_cast<unsigned char*>(&header[kPackDataSizeOffset]), dataSize);
  return header;
}

std::string MemberBytes(const std::string& name, const std::string& content, int level) {
  ScratchFolder scratch;
  std::string sourcePath = scratch.Join("source");
  std::string pakPath = scratch.Join("member.pak");
  WriteWholeFile(sourcePath, content);
  platform::CFile source, pak;
  std::string error;
  bool ok = source.Open(sourcePath.c_str(), "rb") && pak.Open(pakPath.c_str(), "wb") &&
            AppendPackMember(pak.Get(), name, source.Get(), level, &error) && pak.Close();
  return ok ? ReadWholeFile(pakPath) : std::string();
}

std::string ZipBytes(const std::string& content, int level) {
  std::string member = MemberBytes("member", content, level);
  return member.size() > kPackHeaderSize ? member.substr(kPackHeaderSize) : std::string();
}

namespace {
uint32_t Le16(const std::string& bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}
}  // namespace

size_t ZipDataOffset(const std::string& zip) {
  return kZipLocalHeaderSize + Le16(zip, kZipLocalNameLength) + Le16(zip, kZipLocalNameLength + 2);
}

size_t ZipCentralOffset(const std::string& zip) {
  return zip.rfind("PK\x01\x02");
}
