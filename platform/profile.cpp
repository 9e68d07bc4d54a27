// INI files read the way Wine 8's GetPrivateProfileStringA / GetPrivateProfileIntA read them
// (measured against Wine, see tests/unit/profile_win32_test.cpp), and written by changing only
// the line that must change.
#include "platform/profile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/fs.h"

namespace {

// Wine parses the file as UTF-16 units and converts the result to the ANSI code page at the end,
// so we do too: unit counts decide where a value is cut, and a UTF-16 or UTF-8 file reads the
// same as its ANSI twin.
using Units = std::u16string;

const size_t kNone = static_cast<size_t>(-1);

// Code page 1252 from 0x80 to 0x9F. Its five unassigned bytes map to the C1 controls of the
// same value, as on Windows, so every byte survives the round trip.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t AnsiToUnit(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

// Characters outside code page 1252 become '?'. (Windows picks a look-alike for some of them,
// "best fit"; we do not carry that table.)
char UnitToAnsi(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
    return static_cast<char>(unit);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == unit)
      return static_cast<char>(0x80 + i);
  }
  return '?';
}

Units ToUnits(const char* text) {
  Units units;
  for (; text && *text; ++text)
    units += AnsiToUnit(static_cast<unsigned char>(*text));
  return units;
}

// ---- Decoding the file ----

using Encoding = ProfileEncoding;

struct Text {
  Encoding encoding = Encoding::kAnsi;
  Units units;
  // The byte where each unit starts, then the file size: the writer splices bytes, so that
  // everything outside the edited line stays exactly as it was.
  std::vector<size_t> offsets;
};

void AddUnit(Text* text, char16_t unit, size_t offset) {
  text->units += unit;
  text->offsets.push_back(offset);
}

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF)
    return 2;
  if (lead >= 0xE0 && lead <= 0xEF)
    return 3;
  if (lead >= 0xF0 && lead <= 0xF4)
    return 4;
  return 0;
}

// Overlong forms, surrogates and values past U+10FFFF already show in the second byte.
bool Utf8SecondFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0:
      return second >= 0xA0;
    case 0xED:
      return second <= 0x9F;
    case 0xF0:
      return second >= 0x90;
    case 0xF4:
      return second <= 0x8F;
    default:
      return true;
  }
}

// One character at *pos, as Wine decodes it: a bad sequence gives one U+FFFD for its lead byte
// together with the continuation bytes taken before it proved bad, and one cut short by the end
// of the file swallows the rest of the file.
uint32_t DecodeUtf8Char(const std::string& bytes, size_t* pos) {
  unsigned char lead = static_cast<unsigned char>(bytes[(*pos)++]);
  if (lead < 0x80)
    return lead;
  size_t length = Utf8Length(lead);
  if (length == 0)
    return 0xFFFD;
  if (bytes.size() - *pos < length - 1) {
    *pos = bytes.size();
    return 0xFFFD;
  }
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = static_cast<unsigned char>(bytes[*pos]);
    if ((next & 0xC0) != 0x80)
      return 0xFFFD;
    ++*pos;
    if (i == 1 && !Utf8SecondFits(lead, next))
      return 0xFFFD;
    code = (code << 6) | (next & 0x3F);
  }
  return code;
}

void DecodeUtf8(const std::string& bytes, size_t pos, Text* text) {
  while (pos < bytes.size()) {
    size_t start = pos;
    uint32_t code = DecodeUtf8Char(bytes, &pos);
    if (code > 0xFFFF) {
      code -= 0x10000;
      AddUnit(text, static_cast<char16_t>(0xD800 + (code >> 10)), start);
      AddUnit(text, static_cast<char16_t>(0xDC00 + (code & 0x3FF)), start);
    } else {
      AddUnit(text, static_cast<char16_t>(code), start);
    }
  }
}

// An odd last byte reads as a unit of its own, as in Wine.
void DecodeUtf16(const std::string& bytes, size_t pos, bool bigEndian, Text* text) {
  for (; pos < bytes.size(); pos += 2) {
    unsigned first = static_cast<unsigned char>(bytes[pos]);
    if (pos + 1 == bytes.size()) {
      AddUnit(text, static_cast<char16_t>(first), pos);
      break;
    }
    unsigned second = static_cast<unsigned char>(bytes[pos + 1]);
    AddUnit(text, static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first),
            pos);
  }
}

bool StartsWith(const std::string& bytes, const char* prefix) {
  return bytes.compare(0, strlen(prefix), prefix) == 0;
}

// Only a byte-order mark makes a file Unicode; anything else is ANSI.
Text Decode(const std::string& bytes) {
  Text text;
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    text.encoding = Encoding::kUtf8;
    DecodeUtf8(bytes, 3, &text);
  } else if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
    bool bigEndian = bytes[0] == '\xFE';
    text.encoding = bigEndian ? Encoding::kUtf16Be : Encoding::kUtf16Le;
    DecodeUtf16(bytes, 2, bigEndian, &text);
  } else {
    for (size_t i = 0; i < bytes.size(); ++i) {
      AddUnit(&text, AnsiToUnit(static_cast<unsigned char>(bytes[i])), i);
    }
  }
  text.offsets.push_back(bytes.size());
  return text;
}

// ---- Lines, sections and keys ----

// ASCII white space and ^Z (DOS end of file); Wine trims nothing else, not even U+00A0.
bool IsBlank(char16_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

bool IsBreak(char16_t c) {
  return c == '\r' || c == '\n';
}

void TrimRange(const Units& text, size_t* begin, size_t* end) {
  while (*begin < *end && IsBlank(text[*begin]))
    ++*begin;
  while (*end > *begin && IsBlank(text[*end - 1]))
    --*end;
}

Units Trimmed(const Units& text) {
  size_t begin = 0;
  size_t end = text.size();
  TrimRange(text, &begin, &end);
  return text.substr(begin, end - begin);
}

// Wine keeps names and values as C strings, so a NUL inside one ends it.
Units UpToNul(const Units& text, size_t begin, size_t end) {
  Units part = text.substr(begin, end - begin);
  size_t nul = part.find(u'\0');
  if (nul != Units::npos)
    part.resize(nul);
  return part;
}

struct Entry {
  size_t begin = 0;  // the whole line, untrimmed, without its line break
  size_t end = 0;
  bool header = false;
  bool hasValue = false;  // a key line without '=' has none: lookups give the default
  Units name;
  Units value;
};

// A section header is '[' up to the last ']' on the line; a '[' line without one is a key line.
bool ParseHeader(const Units& text, size_t begin, size_t end, Entry* entry) {
  if (text[begin] != '[')
    return false;
  size_t close = end - 1;
  while (close > begin && text[close] != ']')
    --close;
  if (close == begin)
    return false;
  size_t nameBegin = begin + 1;
  TrimRange(text, &nameBegin, &close);
  entry->header = true;
  entry->name = UpToNul(text, nameBegin, close);
  return true;
}

void ParseKey(const Units& text, size_t begin, size_t end, Entry* entry) {
  size_t equals = begin;
  while (equals < end && text[equals] != '=')
    ++equals;
  if (equals == end) {
    entry->name = UpToNul(text, begin, end);
    return;
  }
  size_t nameEnd = equals;
  while (nameEnd > begin && IsBlank(text[nameEnd - 1]))
    --nameEnd;
  size_t valueBegin = equals + 1;
  while (valueBegin < end && IsBlank(text[valueBegin]))
    ++valueBegin;
  entry->name = UpToNul(text, begin, nameEnd);
  entry->hasValue = true;
  entry->value = UpToNul(text, valueBegin, end);
}

// Lines end at every CR and every LF; blank lines are dropped.
std::vector<Entry> ParseEntries(const Units& text) {
  std::vector<Entry> entries;
  size_t lineBegin = 0;
  while (lineBegin < text.size()) {
    size_t lineEnd = lineBegin;
    while (lineEnd < text.size() && !IsBreak(text[lineEnd]))
      ++lineEnd;
    size_t begin = lineBegin;
    size_t end = lineEnd;
    TrimRange(text, &begin, &end);
    if (begin < end) {
      Entry entry;
      entry.begin = lineBegin;
      entry.end = lineEnd;
      if (!ParseHeader(text, begin, end, &entry))
        ParseKey(text, begin, end, &entry);
      entries.push_back(entry);
    }
    lineBegin = lineEnd + 1;
  }
  return entries;
}

char16_t FoldAscii(char16_t c) {
  return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

// Wine compares names without regard to ASCII case only: "É" and "é" differ.
bool SameName(const Units& a, const Units& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  }
  return true;
}

struct Section {
  size_t header = kNone;  // none for the nameless section
  size_t first = 0;       // its keys are entries [first, last)
  size_t last = 0;
};

size_t NextHeader(const std::vector<Entry>& entries, size_t from) {
  while (from < entries.size() && !entries[from].header)
    ++from;
  return from;
}

// The first section of that name only; a later section of the same name is never searched.
// Keys before the first header form a nameless section, and only it answers to an empty name,
// also when the file has a "[]" header.
bool FindSection(const std::vector<Entry>& entries, const Units& name, Section* section) {
  size_t header = name.empty() ? kNone : NextHeader(entries, 0);
  while (header != kNone && header < entries.size() && !SameName(entries[header].name, name)) {
    header = NextHeader(entries, header + 1);
  }
  if (header == entries.size())
    return false;
  section->header = header;
  section->first = header == kNone ? 0 : header + 1;
  section->last = NextHeader(entries, section->first);
  return true;
}

size_t FindKey(const std::vector<Entry>& entries, const Section& section, const Units& name) {
  for (size_t i = section.first; i < section.last; ++i) {
    if (SameName(entries[i].name, name))
      return i;
  }
  return kNone;
}

const Entry* Lookup(const std::vector<Entry>& entries, const char* section, const char* key) {
  Section found;
  if (!section || !key || !FindSection(entries, Trimmed(ToUnits(section)), &found)) {
    return nullptr;
  }
  size_t index = FindKey(entries, found, Trimmed(ToUnits(key)));
  return index == kNone ? nullptr : &entries[index];
}

// ---- Reading ----

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
  Units units = ToUnits(def);
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
  std::vector<Entry> entries = ParseEntries(Decode(bytes).units);
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

// ---- Writing ----

// The file's bytes, or none for a file still to be made. Opening for update makes a read-only
// file fail here, on both systems, before anything is written.
bool ReadForUpdate(const char* path, std::string* bytes) {
  if (platform::FolderExists(path))
    return false;
  if (!platform::FileExists(path))
    return true;
  return platform::ReadWholeFile(path, "r+b", bytes);
}

bool HasBreak(const Units& text) {
  return std::any_of(text.begin(), text.end(), IsBreak);
}

// Refuses what would not read back as written: a line break starts a new line, '=' ends a key
// early, and a key line starting with '[' can read as a section header.
bool CanWrite(const Units& key, const char* value) {
  return !HasBreak(key) && !strpbrk(value, "\r\n") && !key.empty() &&
         key.find(u'=') == Units::npos && key[0] != '[';
}

const Units kCrLf = u"\r\n";

Units Folded(const Units& name) {
  Units folded = name;
  for (char16_t& c : folded)
    c = FoldAscii(c);
  return folded;
}

void AppendUtf8(char16_t unit, std::string* bytes) {
  if (unit < 0x80) {
    *bytes += static_cast<char>(unit);
  } else if (unit < 0x800) {
    *bytes += static_cast<char>(0xC0 | unit >> 6);
    *bytes += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    *bytes += static_cast<char>(0xE0 | unit >> 12);
    *bytes += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
    *bytes += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

// New text goes into the file in the file's own encoding. Its units all come from code page
// 1252, so no surrogates and no '?'.
std::string Encode(const Units& units, Encoding encoding) {
  std::string bytes;
  for (char16_t unit : units) {
    switch (encoding) {
      case Encoding::kAnsi:
        bytes += UnitToAnsi(unit);
        break;
      case Encoding::kUtf8:
        AppendUtf8(unit, &bytes);
        break;
      case Encoding::kUtf16Le:
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
        break;
      case Encoding::kUtf16Be:
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
        break;
    }
  }
  return bytes;
}

// ---- Remembering added names in fixed memory ----

// Bits set per name. With the default 2^22 bits, a new name after 100,000 others is taken for
// a seen one about once in 10^8 times, which costs a look through the file and nothing more.
const int kFilterHashes = 16;

// Read at most this much of the file at a time when looking for an added key.
const size_t kReadChunk = 1 << 16;

// splitmix64's finaliser: spreads the bits of an FNV hash over the whole word.
uint64_t Mix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// The name's bits, by double hashing: h1 + i * h2.
void FilterIndices(const Units& folded, size_t bits, size_t* index) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (char16_t unit : folded) {
    hash ^= unit;
    hash *= 0x100000001B3ull;
  }
  uint64_t h1 = Mix(hash);
  uint64_t h2 = Mix(hash ^ 0x9E3779B97F4A7C15ull) | 1;
  for (int i = 0; i < kFilterHashes; ++i)
    index[i] = static_cast<size_t>((h1 + i * h2) % bits);
}

bool IsUtf16(Encoding encoding) {
  return encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be;
}

// The code unit at byte i: a UTF-16 unit, or a single byte of an ANSI or UTF-8 file. The bytes
// of a UTF-8 sequence are all 0x80 or above, so ASCII letters fold alike in every encoding.
char16_t CodeAt(const std::string& bytes, size_t i, Encoding encoding) {
  unsigned first = static_cast<unsigned char>(bytes[i]);
  if (!IsUtf16(encoding))
    return static_cast<char16_t>(first);
  unsigned second = static_cast<unsigned char>(bytes[i + 1]);
  return static_cast<char16_t>(encoding == Encoding::kUtf16Be ? first << 8 | second
                                                              : second << 8 | first);
}

Units Codes(const std::string& bytes, Encoding encoding) {
  Units codes;
  size_t width = IsUtf16(encoding) ? 2 : 1;
  for (size_t i = 0; i + width <= bytes.size(); i += width)
    codes += CodeAt(bytes, i, encoding);
  return codes;
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

bool CProfileSection::Parse(const std::string& bytes, const char* section) {
  if (!ParseLayout(bytes, section))
    return false;
  std::fill(m_filter.begin(), m_filter.end(), 0);
  m_addedBegin = m_insertAt;
  return true;
}

bool CProfileSection::ParseLayout(const std::string& bytes, const char* section) {
  if (!section)
    return false;
  Text text = Decode(bytes);
  Units name = Trimmed(ToUnits(section));
  // An odd last byte in a UTF-16 file would shift every unit written after it.
  if (HasBreak(name) || (IsUtf16(text.encoding) && bytes.size() % 2 != 0))
    return false;
  m_encoding = text.encoding;
  m_keys.clear();
  m_lead.clear();
  const Units& units = text.units;
  std::vector<Entry> entries = ParseEntries(units);
  Section found;
  if (!FindSection(entries, name, &found)) {
    // A new section goes at the end, on a line of its own.
    if (!units.empty() && !IsBreak(units.back()))
      m_lead = kCrLf;
    m_lead += u"[" + name + u"]" + kCrLf;
    m_insertAt = bytes.size();
    return true;
  }
  // Only the first line of a name counts, as only it is ever read.
  for (size_t i = found.first; i < found.last; ++i) {
    const Entry& entry = entries[i];
    m_keys.emplace(Folded(entry.name), Line{text.offsets[entry.begin], text.offsets[entry.end]});
  }
  // New keys go after the section's last non-blank line (or its header), keeping that line's
  // break; blank lines after it stay between the section and the next.
  size_t anchor = found.last > found.first ? found.last - 1 : found.header;
  if (anchor == kNone) {
    m_insertAt = text.offsets[0];
    return true;
  }
  size_t pos = entries[anchor].end;
  if (pos == units.size()) {
    m_lead = kCrLf;
  } else {
    pos += units[pos] == '\r' && pos + 1 < units.size() && units[pos + 1] == '\n' ? 2 : 1;
  }
  m_insertAt = text.offsets[pos];
  return true;
}

bool CProfileSection::SetKey(const char* key, const char* value, ProfileEdit* edit) {
  if (!key || !value)
    return false;
  Units name = Trimmed(ToUnits(key));
  if (!CanWrite(name, value))
    return false;
  std::string line = Encode(name + u"=" + ToUnits(value), m_encoding);
  Units folded = Folded(name);
  auto found = m_keys.find(folded);
  if (found != m_keys.end()) {
    ReplaceLine(&found->second, line, edit);
    return true;
  }
  if (m_reader && FilterHolds(folded, false)) {
    Line added;
    bool seen = false;
    if (!FindAdded(folded, &added, &seen))
      return false;
    if (seen) {
      ReplaceLine(&added, line, edit);
      return true;
    }
  }
  std::string lead = Encode(m_lead, m_encoding);
  size_t begin = m_insertAt + lead.size();
  if (m_reader)
    FilterHolds(folded, true);
  else
    m_keys.emplace(folded, Line{begin, begin + line.size()});
  *edit = ProfileEdit{m_insertAt, m_insertAt, lead + line + Encode(kCrLf, m_encoding)};
  m_insertAt += edit->bytes.size();
  m_lead.clear();
  return true;
}

void CProfileSection::KeepAddedKeysInFile(IProfileReader* reader, size_t filterBits) {
  m_reader = reader;
  m_filter.assign((std::max<size_t>(filterBits, 1) + 63) / 64, 0);
  m_filterBits = m_filter.size() * 64;
  m_addedBegin = m_insertAt;
}

void CProfileSection::ReplaceLine(Line* line, const std::string& bytes, ProfileEdit* edit) {
  *edit = ProfileEdit{line->begin, line->end, bytes};
  MoveFrom(line->end, line->end - line->begin, bytes.size());
  line->end = line->begin + bytes.size();
}

// Whether every bit of the name is set; with add, sets them too.
bool CProfileSection::FilterHolds(const Units& folded, bool add) {
  size_t index[kFilterHashes];
  FilterIndices(folded, m_filterBits, index);
  bool holds = true;
  for (size_t bit : index) {
    uint64_t mask = uint64_t{1} << (bit % 64);
    holds = holds && (m_filter[bit / 64] & mask) != 0;
    if (add)
      m_filter[bit / 64] |= mask;
  }
  return holds;
}

// The added lines are all our own, "name=value" and CRLF each, after at most the lead: the key's
// line is the one that starts with its folded name and '='. Reads a chunk at a time, so a long
// log costs time here but no memory. False when the reader fails.
bool CProfileSection::FindAdded(const Units& folded, Line* line, bool* found) {
  const Units wanted = Codes(Encode(folded + u"=", m_encoding), m_encoding);
  const size_t width = IsUtf16(m_encoding) ? 2 : 1;
  size_t begin = m_addedBegin;
  size_t matched = 0;  // codes of the current line that match, or kNone after a mismatch
  std::string chunk;
  *found = false;
  for (size_t pos = m_addedBegin; pos < m_insertAt; pos += chunk.size()) {
    size_t size = std::min(kReadChunk, m_insertAt - pos);
    if (!m_reader->ReadAt(pos, size, &chunk) || chunk.size() != size)
      return false;
    for (size_t i = 0; i < chunk.size(); i += width) {
      char16_t code = CodeAt(chunk, i, m_encoding);
      if (IsBreak(code)) {
        if (matched == wanted.size()) {
          *line = Line{begin, pos + i};
          *found = true;
          return true;
        }
        begin = pos + i + width;
        matched = 0;
      } else if (matched < wanted.size()) {
        matched = FoldAscii(code) == wanted[matched] ? matched + 1 : kNone;
      }
    }
  }
  return true;
}

// Visits every key, but only when a replaced line changes length, which the uninstall log's
// usual writes (new keys, same paths again) never do.
void CProfileSection::MoveFrom(size_t from, size_t removed, size_t added) {
  if (removed == added)
    return;
  for (auto& key : m_keys) {
    if (key.second.begin >= from) {
      key.second.begin = key.second.begin - removed + added;
      key.second.end = key.second.end - removed + added;
    }
  }
  if (m_insertAt >= from)
    m_insertAt = m_insertAt - removed + added;
  if (m_addedBegin >= from)
    m_addedBegin = m_addedBegin - removed + added;
}

bool ReplaceWholeFile(const char* path, const std::string& bytes) {
  return platform::WriteFileReplacing(path, bytes);
}

bool WriteProfileString(const char* section, const char* key, const char* value, const char* path) {
  std::string bytes;
  CProfileSection layout;
  ProfileEdit edit;
  if (!section || !key || !value || !path || !ReadForUpdate(path, &bytes) ||
      !layout.Parse(bytes, section) || !layout.SetKey(key, value, &edit)) {
    return false;
  }
  bytes.replace(edit.begin, edit.end - edit.begin, edit.bytes);
  return ReplaceWholeFile(path, bytes);
}
