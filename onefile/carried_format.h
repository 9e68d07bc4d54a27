#pragma once
// The stream's layout (carried_folder.h), shared by its writer and its reader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace onefile {
namespace carried {

inline constexpr unsigned char kMagic[8] = {'C', 'A', 'R', 'R', 'I', 'E', 'D', 0x1a};
// Each file starts with kFileMark and the trailer with kEndMark, so a header that counts more or
// fewer files than there are is told apart from damage.
inline constexpr unsigned char kFileMark = 'F';
inline constexpr unsigned char kEndMark[4] = {'E', 'N', 'D', 0x1a};
inline constexpr size_t kHeaderSize = 24;
inline constexpr size_t kNameMax = 259;  // CheckMemberName's limit
inline constexpr size_t kInBufferSize = 64 * 1024;
inline constexpr size_t kOutBufferSize = 256 * 1024;

inline void PutLe(unsigned char* p, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    p[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint64_t GetLe(const unsigned char* p, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | p[i];
  return value;
}

// Windows folds letter case in file names; ASCII folding is enough to catch a stream that
// names one file twice to overwrite what was written first.
inline bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z')
      x -= 32;
    if (y >= 'a' && y <= 'z')
      y -= 32;
    if (x != y)
      return false;
  }
  return true;
}

inline bool HasName(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& other : names) {
    if (SameFileName(other, name))
      return true;
  }
  return false;
}

}  // namespace carried
}  // namespace onefile
