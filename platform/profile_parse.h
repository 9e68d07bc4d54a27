#pragma once
// The lines of a profile file, decoded to units, as Wine's profile functions see them: section
// headers, key lines, blanks and comments, and the rules by which names are matched.

#include <cstddef>
#include <vector>

#include "platform/codepage.h"

namespace profile {

const size_t kNone = static_cast<size_t>(-1);

// ASCII white space and ^Z (DOS end of file); Wine trims nothing else, not even U+00A0.
bool IsBlank(char16_t c);
bool IsBreak(char16_t c);
Units Trimmed(const Units& text);

// Wine compares names without regard to ASCII case only: "É" and "é" differ.
char16_t FoldAscii(char16_t c);
Units Folded(const Units& name);
bool SameName(const Units& a, const Units& b);

struct Entry {
  size_t begin = 0;  // the whole line, untrimmed, without its line break, in units
  size_t end = 0;
  bool header = false;
  bool hasValue = false;  // a key line without '=' has none: lookups give the default
  Units name;
  Units value;
};

// Every non-blank line. Lines end at every CR and every LF.
std::vector<Entry> ParseEntries(const Units& text);

struct Section {
  size_t header = kNone;  // none for the nameless section
  size_t first = 0;       // its keys are entries [first, last)
  size_t last = 0;
};

// The first section of that name only; a later section of the same name is never searched.
// Keys before the first header form a nameless section, and only it answers to an empty name,
// also when the file has a "[]" header.
bool FindSection(const std::vector<Entry>& entries, const Units& name, Section* section);

// The first line of the key in the section, or null. Null section or key names find nothing.
const Entry* Lookup(const std::vector<Entry>& entries, const char* section, const char* key);

}  // namespace profile
