#pragma once
// SHA-256 (FIPS 180-4), for the one-file program to tell its own payload from any other: the
// digest sealed into its image must match the bytes it is about to unpack and run. Our own,
// because the programs may import no DLL that is not safe to load from a download folder.

#include <cstddef>
#include <cstdint>

namespace platform {

constexpr size_t kSha256Size = 32;

class CSha256 {
 public:
  CSha256();
  void Update(const void* data, size_t size);
  // The digest of everything given; the object is spent afterwards.
  void Finish(unsigned char digest[kSha256Size]);

 private:
  void Block(const unsigned char* block);

  uint32_t m_state[8];
  uint64_t m_length = 0;  // bytes given so far
  unsigned char m_buffer[64];
  size_t m_buffered = 0;
};

}  // namespace platform
