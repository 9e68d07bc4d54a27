#include "platform/path_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

namespace {

unsigned g_testCodePage = 0;  // 0: the system's

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool IsLeadByteIn(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

bool IsLeadByte(unsigned char byte) {
#ifdef _WIN32
  // The system's own table of the ANSI code page; a function's static table would need the C++
  // runtime's guard, which brings its exception machinery into every program.
  if (g_testCodePage == 0)
    return IsDBCSLeadByte(byte) != 0;
#endif
  return IsLeadByteIn(g_testCodePage == 0 ? 1252 : g_testCodePage, byte);
}

void SetCodePageForTesting(unsigned codePage) {
  g_testCodePage = codePage;
}

size_t CharSize(const char* text, size_t length, size_t at) {
  return at + 1 < length && IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
}

bool IsCharBoundary(const char* text, size_t length, size_t at) {
  size_t i = 0;
  while (i < at && i < length)
    i += CharSize(text, length, i);
  return i == at;
}

size_t NextSeparator(const char* text, size_t length, size_t from) {
  size_t i = from;
  while (i < length && text[i] != '\\')
    i += CharSize(text, length, i);
  return i < length ? i : length;
}

bool LastSeparator(const char* text, size_t length, size_t* at) {
  bool found = false;
  for (size_t i = NextSeparator(text, length, 0); i < length;
       i = NextSeparator(text, length, i + 1)) {
    *at = i;
    found = true;
  }
  return found;
}

bool EndsInSeparator(const char* text, size_t length) {
  size_t last = 0;
  return LastSeparator(text, length, &last) && last + 1 == length;
}

bool SamePathText(const char* a, size_t aLength, const char* b, size_t bLength) {
  if (aLength != bLength)
    return false;
  for (size_t i = 0; i < aLength;) {
    size_t size = CharSize(a, aLength, i);
    if (size == 2 ? a[i] != b[i] || a[i + 1] != b[i + 1] : FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
    i += size;
  }
  return true;
}

bool IsPathBelow(const char* path, size_t pathLength, const char* folder, size_t folderLength) {
  return folderLength > 0 && pathLength > folderLength + 1 && path[folderLength] == '\\' &&
         IsCharBoundary(path, pathLength, folderLength) &&
         SamePathText(path, folderLength, folder, folderLength);
}

}  // namespace platform
