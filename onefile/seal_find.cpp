// Only mkpak looks for the seal: kept apart from seal.cpp so that the program whose seal it is
// holds the magic once, in the block itself.
#include "onefile/seal.h"

namespace onefile {

size_t FindSeal(const std::string& program) {
  static const char kMagic[16] = {ONEFILE_SEAL_MAGIC};
  const std::string magic(kMagic, sizeof kMagic);
  size_t at = program.find(magic);
  if (at == std::string::npos || at + kSealSize > program.size() ||
      program.find(magic, at + 1) != std::string::npos)
    return std::string::npos;
  return at;
}

}  // namespace onefile
