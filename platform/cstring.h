#pragma once
// CString: the single-byte string class the installer is written against, with the familiar
// names. Lengths and positions count bytes. Value semantics over std::string; sharing buffers
// between copies would change nothing a caller can see.

#include <string>

class CString {
 public:
  CString() = default;
  CString(const char* text) : m_str(text ? text : "") {}  // NOLINT: implicit, as callers expect
  CString(const char* text, int length) : m_str(text, length > 0 ? length : 0) {}
  CString(char ch, int repeat = 1) : m_str(repeat > 0 ? repeat : 0, ch) {}

  CString& operator=(const char* text) {
    m_str = text ? text : "";
    return *this;
  }
  CString& operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
  }
  CString& operator+=(const CString& other) {
    m_str += other.m_str;
    return *this;
  }
  CString& operator+=(const char* text) {
    if (text)
      m_str += text;
    return *this;
  }
  CString& operator+=(char ch) {
    m_str += ch;
    return *this;
  }

  friend CString operator+(const CString& a, const CString& b) { return CString(a) += b; }
  friend CString operator+(const CString& a, const char* b) { return CString(a) += b; }
  friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
  friend CString operator+(const CString& a, char b) { return CString(a) += b; }

  friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

  // The text up to its first NUL, as the C API sees it.
  operator const char*() const { return m_str.c_str(); }  // NOLINT: implicit by design
  const char* c_str() const { return m_str.c_str(); }
  const std::string& str() const { return m_str; }

  int GetLength() const { return static_cast<int>(m_str.size()); }
  bool IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  char GetAt(int index) const { return m_str[static_cast<size_t>(index)]; }
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch) { m_str[static_cast<size_t>(index)] = ch; }

  int Find(char ch) const { return ToIndex(m_str.find(ch)); }
  int ReverseFind(char ch) const { return ToIndex(m_str.rfind(ch)); }
  CString Mid(int first) const { return Mid(first, GetLength()); }
  CString Mid(int first, int count) const;
  CString Left(int count) const { return Mid(0, count); }
  CString Right(int count) const;
  // Removes up to count characters at index; returns the new length.
  int Delete(int index, int count = 1);

  // printf-style formatting; the result is never cut short.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // A writable buffer of at least minLength characters; ReleaseBuffer ends the text at
  // newLength, or at its first NUL when newLength is -1.
  char* GetBuffer(int minLength);
  void ReleaseBuffer(int newLength = -1);

 private:
  static int ToIndex(size_t pos) { return pos == std::string::npos ? -1 : static_cast<int>(pos); }
  std::string m_str;
};
