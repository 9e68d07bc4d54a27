#pragma once
// Private-profile (INI) files, read and written by our own code with the platform's rules, so
// that both builds read setup.ini exactly as GetPrivateProfileStringA / GetPrivateProfileIntA
// would, and the native build needs no Windows API. The pieces: codepage.h (ANSI text as
// UTF-16 units), profile_text.h (a file's encoding), profile_parse.h (lines, sections, keys),
// profile_read.cpp (the reading rules) and profile_edit.h (edits that keep every other byte).

#include <cstdint>
#include <string>
#include <unordered_map>

// Like GetPrivateProfileStringA: copies the value of key in section (or def when the file, the
// section or the key is missing) into buffer, cut to size - 1 bytes and NUL-terminated.
// Returns the number of bytes copied, without the NUL. A null section or key reads as missing
// (the API's listings are not offered); a null buffer or a size of 0 copies nothing.
uint32_t ReadProfileString(const char* section, const char* key, const char* def, char* buffer,
                           uint32_t size, const char* path);

// Like GetPrivateProfileIntA: the value read as an integer (decimal, or after 0x, 0o or 0b
// hexadecimal, octal or binary, as Wine reads it), or def when it is missing or empty.
int ReadProfileInt(const char* section, const char* key, int def, const char* path);

// Like WritePrivateProfileStringA for one key: creates the file and the section when missing,
// replaces an existing key's line, otherwise adds the key at the end of the section; every
// other byte of the file stays as it was. The file is replaced whole, never left half-written.
// Lines it writes end in CRLF and keep the file's encoding (ANSI, or UTF-8 or UTF-16 with a
// byte-order mark). An empty section means the keys before the first section header. Returns
// false on any failure, and refuses null arguments and what would not read back as written:
// line breaks anywhere, and a key that is empty or holds '=' or starts with '['.
bool WriteProfileString(const char* section, const char* key, const char* value, const char* path);

// One section of a profile file read once, for many lookups by ReadProfileString's rules: the
// uninstaller reads a key per installed file, and reading the whole file for each would cost
// the square of their number.
class CProfileSectionReader {
 public:
  // False when the file cannot be read; then every key reads as missing.
  bool Load(const char* path, const char* section);
  // The same for a file's bytes already read.
  void Parse(const std::string& bytes, const char* section);
  // What ReadProfileString would copy into a buffer of size bytes; false when the key is
  // missing or its line has no '='.
  bool Read(const char* key, std::string* value, uint32_t size = 260) const;

 private:
  struct Value {
    bool hasValue;  // a first line without '=' hides the name's later lines
    std::u16string text;
  };
  // The first line of each name, by the name folded to upper case.
  std::unordered_map<std::u16string, Value> m_values;
};
