#include "package/pack_format.h"

#include <cstring>

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian32(unsigned char* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

PackHeader ParsePackHeader(const unsigned char (&bytes)[kPackHeaderSize]) {
  PackHeader header;
  header.name = reinterpret_cast<const char*>(bytes);
  const void* terminator = memchr(header.name, '\0', kPackNameSize);
  header.nameLength =
      terminator ? static_cast<const char*>(terminator) - header.name : kPackNameSize;
  header.dataSize = ReadLittleEndian32(bytes + kPackDataSizeOffset);
  // Without a terminator the name fills its field: too long for it, whatever it holds.
  header.check = CheckMemberName(header.name, header.nameLength);
  return header;
}
