// Reading with Wine 8's rules for GetPrivateProfileStringA / GetPrivateProfileIntA (measured
// against Wine, see tests/unit/profile_win32_test.cpp).
#include "platform/profile.h"

#include <algorithm>
#include <string>

#include "platform/fs.h"
#include "platform/profile_parse.h"
#include "platform/profile_text.h"

using namespace profile;

namespace {

bool ParentFolderExists(const char* path) {
  std::string text = path;
  size_t slash = text.find_last_of("\\/");
  std::string folder = slash == std::string::npos ? "." : text.substr(0, slash + 1);
  return platform::FolderExists(folder.c_str());
}

// Wine reads a missing file in an existing folder as an empty profile; anything else it cannot
// open means no profile, and then the default is returned without its quotes taken off.
bool LoadProfile(const char* path, std::string* bytes) {
  if (!path)
    return false;
  if (platform::ReadWholeFile(path, "rb", bytes))
    return true;
  bytes->clear();
  return !platform::FileExists(path) && !platform::FolderExists(path) && ParentFolderExists(path);
}

// Wine drops quotes around a value, but judges "does it fit" against the length after the
// opening quote, so a buffer of exactly that size loses one more character.
Units CopyEntry(const Units& value, size_t size) {
  bool quoted =
      value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
  size_t start = quoted ? 1 : 0;
  size_t length = value.size() - start;
  Units copy = value.substr(start, std::min(length, size - 1));
  if (quoted && size >= length && !copy.empty())
    copy.pop_back();
  return copy;
}

// Trailing spaces (only U+0020) come off the default, but never its first character.
Units DefaultUnits(const char* def) {
  Units units = AnsiToUnits(def);
  while (units.size() > 1 && units.back() == ' ')
    units.pop_back();
  return units;
}

// What GetPrivateProfileStringW puts in a buffer of size units (size > 0).
Units ReadUnits(const char* section, const char* key, const char* def, size_t size,
                const char* path) {
  Units fallback = DefaultUnits(def);
  std::string bytes;
  if (!LoadProfile(path, &bytes))
    return fallback.substr(0, size - 1);
  std::vector<Entry> entries = ParseEntries(DecodeUnits(bytes));
  const Entry* entry = Lookup(entries, section, key);
  return CopyEntry(entry && entry->hasValue ? entry->value : fallback, size);
}

uint32_t DigitValue(char16_t c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'Z')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 10;
  return 99;
}

// Wine's RtlUnicodeStringToInteger with base 0: blanks, a sign, then "0x", "0o" or "0b"
// (lower case only) pick the base; digits up to the first that does not fit, modulo 2^32.
uint32_t ParseInteger(const Units& text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] <= ' ')
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos++] == '-';
  }
  uint32_t base = 10;
  if (text.size() - pos >= 2 && text[pos] == '0') {
    char16_t prefix = text[pos + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    if (base != 10)
      pos += 2;
  }
  uint32_t total = 0;
  for (; pos < text.size() && DigitValue(text[pos]) < base; ++pos) {
    total = total * base + DigitValue(text[pos]);
  }
  return negative ? 0u - total : total;
}

}  // namespace

uint32_t ReadProfileString(const char* section, const char* key, const char* def, char* buffer,
                           uint32_t size, const char* path) {
  if (!buffer || size == 0)
    return 0;
  Units value = ReadUnits(section, key, def, size, path);
  for (size_t i = 0; i < value.size(); ++i)
    buffer[i] = UnitToAnsi(value[i]);
  buffer[value.size()] = '\0';
  return static_cast<uint32_t>(value.size());
}

int ReadProfileInt(const char* section, const char* key, int def, const char* path) {
  // Wine reads the value through a 30-unit buffer first: only its first 29 units count.
  Units value = ReadUnits(section, key, "", 30, path);
  if (value.empty())
    return def;
  return static_cast<int>(ParseInteger(value));
}

bool CProfileSectionReader::Load(const char* path, const char* section) {
  m_values.clear();
  std::string bytes;
  if (!path || !section || !platform::ReadWholeFile(path, "rb", &bytes))
    return false;
  Parse(bytes, section);
  return true;
}

void CProfileSectionReader::Parse(const std::string& bytes, const char* section) {
  m_values.clear();
  if (!section)
    return;
  std::vector<Entry> entries = ParseEntries(DecodeUnits(bytes));
  Section found;
  if (!FindSection(entries, Trimmed(AnsiToUnits(section)), &found))
    return;
  // Only the first line of a name counts, as in a lookup. The values move: a long section
  // would otherwise be held twice.
  for (size_t i = found.first; i < found.last; ++i) {
    m_values.try_emplace(Folded(entries[i].name),
                         Value{entries[i].hasValue, std::move(entries[i].value)});
  }
}

bool CProfileSectionReader::Read(const char* key, std::string* value, uint32_t size) const {
  if (!key || size == 0)
    return false;
  auto it = m_values.find(Folded(Trimmed(AnsiToUnits(key))));
  if (it == m_values.end() || !it->second.hasValue)
    return false;
  Units copy = CopyEntry(it->second.text, size);
  value->resize(copy.size());
  for (size_t i = 0; i < copy.size(); ++i)
    (*value)[i] = UnitToAnsi(copy[i]);
  return true;
}
