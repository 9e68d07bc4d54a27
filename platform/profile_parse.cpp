#include "platform/profile_parse.h"

namespace profile {

namespace {

void TrimRange(const Units& text, size_t* begin, size_t* end) {
  while (*begin < *end && IsBlank(text[*begin]))
    ++*begin;
  while (*end > *begin && IsBlank(text[*end - 1]))
    --*end;
}

// Wine keeps names and values as C strings, so a NUL inside one ends it.
Units UpToNul(const Units& text, size_t begin, size_t end) {
  Units part = text.substr(begin, end - begin);
  size_t nul = part.find(u'\0');
  if (nul != Units::npos)
    part.resize(nul);
  return part;
}

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

size_t NextHeader(const std::vector<Entry>& entries, size_t from) {
  while (from < entries.size() && !entries[from].header)
    ++from;
  return from;
}

}  // namespace

bool IsBlank(char16_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

bool IsBreak(char16_t c) {
  return c == '\r' || c == '\n';
}

Units Trimmed(const Units& text) {
  size_t begin = 0;
  size_t end = text.size();
  TrimRange(text, &begin, &end);
  return text.substr(begin, end - begin);
}

char16_t FoldAscii(char16_t c) {
  return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c;
}

Units Folded(const Units& name) {
  Units folded = name;
  for (char16_t& c : folded)
    c = FoldAscii(c);
  return folded;
}

bool SameName(const Units& a, const Units& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  }
  return true;
}

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

const Entry* Lookup(const std::vector<Entry>& entries, const char* section, const char* key) {
  Section found;
  if (!section || !key || !FindSection(entries, Trimmed(AnsiToUnits(section)), &found))
    return nullptr;
  Units name = Trimmed(AnsiToUnits(key));
  for (size_t i = found.first; i < found.last; ++i) {
    if (SameName(entries[i].name, name))
      return &entries[i];
  }
  return nullptr;
}

}  // namespace profile
