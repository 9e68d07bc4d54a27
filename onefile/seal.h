#pragma once
// The seal: a block in the one-file program's own image that mkpak fills, before the program is
// signed, with where the carried stream lies in the file and the stream's SHA-256. The program
// reads the seal from its memory, which is the image Windows checked and started and which
// nobody can change while it runs, and unpacks nothing whose digest differs. So a download
// renamed and replaced by another file after it was started, or changed after signing, is
// refused; and the stream is found wherever a signature puts its certificates, not at the
// file's end.
//
// Layout, kSealSize bytes, numbers little-endian:
//   0   magic, 16 bytes (ONEFILE_SEAL_MAGIC); mkpak finds the block by it
//   16  u64 the stream's offset in the file
//   24  u64 the stream's length; 0 in a program mkpak has not filled
//   32  u32 setup.ini's needspace, in megabytes
//   36  4 bytes: the volume setup.ini's location names ("C:\"), NUL-padded; empty when none
//   40  the stream's SHA-256, 32 bytes
//   72  24 bytes of zeros

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sha256.h"

namespace onefile {

constexpr size_t kSealSize = 96;
// The initial bytes of the block in the program; FindSeal looks for them in its file.
#define ONEFILE_SEAL_MAGIC \
  'O', 'n', 'e', 'F', 'i', 'l', 'e', 'S', 'e', 'a', 'l', 0x1a, 0x05, 0x17, 0x01, 0x00

struct Seal {
  uint64_t streamOffset = 0;
  uint64_t streamBytes = 0;
  uint32_t needspace = 0;   // megabytes the installation asks for
  std::string installRoot;  // "C:\" or empty
  unsigned char digest[platform::kSha256Size] = {};
};

// False when the block holds no stream (a program mkpak has not filled).
bool ReadSeal(const unsigned char* block, Seal* seal);
void PutSeal(const Seal& seal, unsigned char* block);

// The offset of the one seal in a program's bytes; std::string::npos when there is none or more
// than one.
size_t FindSeal(const std::string& program);

}  // namespace onefile
