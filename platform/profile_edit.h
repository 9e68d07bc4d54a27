#pragma once
// Edits of one section of a profile file that change only the line that must change, as
// WritePrivateProfileStringA would make them. WriteProfileString (profile.h) makes one edit per
// parse of the file; the uninstall log parses its template once and plans each entry from the
// layout alone.

#include <cstddef>
#include <string>
#include <unordered_map>

#include "platform/profile_text.h"

// Bytes [begin, end) of the file become `bytes`.
struct ProfileEdit {
  size_t begin = 0;
  size_t end = 0;
  std::string bytes;
};

class CProfileSection {
 public:
  // Reads where section's keys lie in a whole file's bytes. False for what cannot be edited
  // safely: a null name or one with a line break, or a UTF-16 file of odd size, where every
  // unit written after the odd byte would be shifted.
  bool Parse(const std::string& bytes, const char* section);

  // The edit that sets key to value in the file as the edits taken so far have left it: the
  // key's first line in the section is replaced, or a new line goes at InsertAt(), after a line
  // break and the section's header where the file lacks them. Lines it writes end in CRLF and
  // keep the file's encoding. False for what would not read back as written: a null key or
  // value, a line break in either, and a key that is empty, holds '=' or starts with '['.
  bool Plan(const char* key, const char* value, ProfileEdit* edit) const;

  // Takes a planned edit as made. A key it added is not remembered: planned again, it would be
  // added a second time. That suits both users: WriteProfileString parses the file for every
  // key, and the uninstall log adds each of its keys once.
  void Take(const ProfileEdit& edit);

  // Where the next new key goes; all bytes from here on follow the section.
  size_t InsertAt() const { return m_insertAt; }

 private:
  struct Line {
    size_t begin;  // the key's whole line, without its line break
    size_t end;
  };

  profile::Encoding m_encoding = profile::Encoding::kAnsi;
  std::unordered_map<std::u16string, Line> m_keys;  // the parsed keys, by name folded
  size_t m_insertAt = 0;
  std::u16string m_lead;  // what must come first: a line break and/or the section's header
};
