#pragma once
// The layout of data.pak, known here and nowhere else: member after member, each a 268-byte
// header (the name, 4 reserved bytes, the little-endian 32-bit data size) followed by that many
// bytes of a one-file zip archive. The reader, the pack tool and the tests build on these.

#include <cstddef>
#include <cstdint>

#include "package/member_name.h"

constexpr size_t kPackNameSize = 260;  // the name field, terminator included
constexpr size_t kPackHeaderSize = 268;
constexpr size_t kPackDataSizeOffset = 264;
// Longest path the reader builds below the location, leaving room for the NUL.
constexpr size_t kMaxPathChars = 259;

// Little-endian 32-bit integers, as the header and the zip headers inside members store them.
uint32_t ReadLittleEndian32(const unsigned char* bytes);
void WriteLittleEndian32(unsigned char* bytes, uint32_t value);

struct PackHeader {
  const char* name = nullptr;  // points into the header's bytes
  size_t nameLength = 0;       // up to its NUL; kPackNameSize when it has none
  uint32_t dataSize = 0;
  // kOk only for a terminated name that is a safe relative file name; an unterminated one is
  // kTooLong.
  NameCheck check = NameCheck::kEmpty;
};

PackHeader ParsePackHeader(const unsigned char (&bytes)[kPackHeaderSize]);
