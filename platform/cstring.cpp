#include "platform/cstring.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CString CString::Mid(int first, int count) const {
  int length = GetLength();
  if (first < 0)
    first = 0;
  if (count < 0 || first >= length)
    return CString();
  if (count > length - first)
    count = length - first;
  return CString(m_str.data() + first, count);
}

CString CString::Right(int count) const {
  int length = GetLength();
  if (count <= 0)
    return CString();
  if (count >= length)
    return *this;
  return Mid(length - count, count);
}

int CString::Delete(int index, int count) {
  int length = GetLength();
  if (index < 0)
    index = 0;
  if (count > 0 && index < length) {
    if (count > length - index)
      count = length - index;
    m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  }
  return GetLength();
}

namespace {

// The C runtime's formatter. On Windows Microsoft's own: mingw's C99 one would add 27 KB to
// setup.exe for the few "%d"s the installer formats, and there Format's printf attribute means
// Microsoft's formats, so the compiler accepts only what this one knows.
int FormattedLength(const char* format, va_list args) {
#ifdef _WIN32
  return _vscprintf(format, args);
#else
  return vsnprintf(nullptr, 0, format, args);
#endif
}

void FormatInto(char* buffer, size_t size, const char* format, va_list args) {
#ifdef _WIN32
  _vsnprintf(buffer, size, format, args);
#else
  vsnprintf(buffer, size, format, args);
#endif
}

}  // namespace

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = FormattedLength(format, args);
  va_end(args);
  if (needed < 0) {
    m_str.clear();
  } else {
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    FormatInto(&text[0], text.size(), format, again);
    text.resize(static_cast<size_t>(needed));
    m_str.swap(text);
  }
  va_end(again);
}

char* CString::GetBuffer(int minLength) {
  if (minLength > GetLength())
    m_str.resize(static_cast<size_t>(minLength));
  return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0)
    newLength = static_cast<int>(strlen(m_str.c_str()));
  if (newLength > GetLength())
    newLength = GetLength();
  m_str.resize(static_cast<size_t>(newLength));
}
