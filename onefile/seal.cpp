#include "onefile/seal.h"

#include <cstring>

#include "onefile/carried_format.h"

namespace onefile {

using carried::GetLe;
using carried::PutLe;

bool ReadSeal(const unsigned char* block, Seal* seal) {
  seal->streamOffset = GetLe(block + 16, 8);
  seal->streamBytes = GetLe(block + 24, 8);
  seal->needspace = static_cast<uint32_t>(GetLe(block + 32, 4));
  const char* root = reinterpret_cast<const char*>(block + 36);
  seal->installRoot.assign(root, strnlen(root, 4));
  memcpy(seal->digest, block + 40, sizeof seal->digest);
  return seal->streamBytes != 0;
}

void PutSeal(const Seal& seal, unsigned char* block) {
  PutLe(block + 16, seal.streamOffset, 8);
  PutLe(block + 24, seal.streamBytes, 8);
  PutLe(block + 32, seal.needspace, 4);
  memset(block + 36, 0, 4);
  memcpy(block + 36, seal.installRoot.data(),
         seal.installRoot.size() < 3 ? seal.installRoot.size() : 3);
  memcpy(block + 40, seal.digest, sizeof seal.digest);
  memset(block + 72, 0, kSealSize - 72);
}

}  // namespace onefile
