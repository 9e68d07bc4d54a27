#pragma once
// Awkward INI files and the answers Wine 8's GetPrivateProfileStringA (260-byte buffer) and
// GetPrivateProfileIntA gave for them. profile_test.cpp holds our reader to these answers in
// both builds; profile_win32_test.cpp asks the system the same questions.

#include <string>
#include <vector>

#include "tests/unit/test_support.h"

struct StringQuery {
  const char* section;
  const char* key;
  const char* def;
  std::string value;
};

struct IntQuery {
  const char* section;
  const char* key;
  int def;
  int value;
};

enum class Where { kFile, kNoFile, kNoFolder };

struct ProfileCase {
  const char* name;
  std::string file;
  std::vector<StringQuery> strings;
  std::vector<IntQuery> ints = {};
  Where where = Where::kFile;
};

// Writes the case's file into scratch (or not, for the missing ones) and returns its path.
inline std::string PlaceCase(const ScratchFolder& scratch, const ProfileCase& c) {
  if (c.where == Where::kNoFolder)
    return scratch.Join("absent\\setup.ini");
  std::string path = scratch.Join(std::string(c.name) + ".ini");
  if (c.where == Where::kFile)
    WriteWholeFile(path, c.file);
  return path;
}

inline std::vector<ProfileCase> ProfileCorpus() {
  using namespace std::string_literals;
  // One row per file, its queries packed after it.
  // clang-format off
  return {
      // Names compare without regard to blanks at their ends and to case, ASCII's only.
      {"names",
       "[main]\r\ntotalfiles=12\r\nTitle=My App\r\n[other]\r\nkey=x\r\n[\xC9t\xE9]\r\nK=1\r\n",
       {{"main", "totalfiles", "d", "12"}, {"MAIN", "TOTALFILES", "d", "12"},
        {" main ", "\ttitle ", "d", "My App"}, {"main", "key", "d", "d"},
        {"other", "key", "d", "x"}, {"none", "key", "d", "d"},
        {"\xC9T\xE9", "k", "d", "1"}, {"\xE9t\xE9", "k", "d", "d"}},
       {{"main", "totalfiles", 5, 12}, {"main", "title", 5, 0}, {"main", "none", 5, 5}}},
      // LF, a lone CR (Wine ends a line there too), no final line break.
      {"line_ends", "[a]\nk=1\rj=2\nlast=end",
       {{"a", "k", "", "1"}, {"a", "j", "", "2"}, {"a", "last", "", "end"}}},
      // Blanks are ASCII white space and ^Z; U+00A0 is not one.
      {"blanks",
       "  [ s p ]  \r\n  key  =   two  spaces   \r\n\tk2\t=\v v2\f\r\n"
       "k3\x1a=\x1av3\x1a\r\nu=\xA0v\xA0\r\n",
       {{"s p", "key", "", "two  spaces"}, {"s p", "k2", "", "v2"}, {"s p", "k3", "", "v3"},
        {"s  p", "key", "d", "d"}, {"s p", "u", "", "\xA0v\xA0"}}},
      {"quotes",
       "q1=\"abc\"\r\nq2='abc'\r\nq3=\"abc'\r\nq4=\"\r\nq5=\"\"\r\nq6=\"a\r\nq7=\" a b \"\r\n"
       "q8='''\r\n",
       {{"", "q1", "", "abc"}, {"", "q2", "", "abc"}, {"", "q3", "", "\"abc'"},
        {"", "q4", "", "\""}, {"", "q5", "d", ""}, {"", "q6", "", "\"a"},
        {"", "q7", "", " a b "}, {"", "q8", "", "'"}, {"", "none", "\"d\"", "d"},
        {"", "none", "'d'  ", "d"}, {"", "none", " \"d\"", " \"d\""},
        {"", "none", "d \t ", "d \t"}, {"", "none", "   ", " "}}},
      // ';' starts no comment in Wine: such lines are keys like any other.
      {"comments", "; note\r\n[s]\r\n;k=hidden\r\nk=1\r\n# k=2\r\n",
       {{"s", "k", "", "1"}, {"s", ";k", "", "hidden"}, {"s", "# k", "", "2"},
        {"", "; note", "d", "d"}}},
      // Only the first section of a name is searched, and only its first key of a name.
      {"duplicates", "[s]\r\nk=1\r\nk=2\r\n[t]\r\nu=3\r\n[S]\r\nk=4\r\nv=5\r\n",
       {{"s", "k", "", "1"}, {"s", "v", "d", "d"}, {"t", "u", "", "3"}}},
      {"nameless_section", "top=1\r\n=no name\r\n[s]\r\nk=2\r\n[]\r\nk=3\r\n",
       {{"", "top", "", "1"}, {"", "", "", "no name"}, {"", "k", "d", "d"},
        {"s", "top", "d", "d"}}},
      // A header ends at the last ']'; a '[' line without one is a key line; no '=', no value.
      {"lines", "[a]b]junk\r\nk=1\r\n[nobracket\r\nj=2\r\n[x=3\r\nflag\r\nflag=1\r\nempty=\r\n",
       {{"a]b", "k", "", "1"}, {"a]b", "j", "", "2"}, {"a]b", "[x", "", "3"},
        {"a", "k", "d", "d"}, {"a]b", "flag", "d", "d"}, {"a]b", "empty", "d", ""}},
       {{"a]b", "empty", 7, 7}}},
      {"long_value", "[s]\r\nk=" + std::string(300, 'x') + "\r\n",
       {{"s", "k", "", std::string(259, 'x')}}},
      {"integers",
       "n1=-12\r\nn2=12abc\r\nn3=abc\r\nn4=\"  7\"\r\nn5=\r\nn6=+5\r\nn7=0x1F\r\nn8=0X1F\r\n"
       "n9=4294967297\r\nn10=-2147483649\r\nn11=000000000000000000000000000012\r\n"
       "n12=- 5\r\nn13=0b101\r\nn14=010\r\n",
       {{"", "n1", "", "-12"}, {"", "n4", "", "  7"}},
       {{"", "n1", 9, -12}, {"", "n2", 9, 12}, {"", "n3", 9, 0}, {"", "n4", 9, 7},
        {"", "n5", 9, 9}, {"", "n6", 9, 5}, {"", "n7", 9, 31}, {"", "n8", 9, 0},
        {"", "n9", 9, 1}, {"", "n10", 9, 2147483647}, {"", "n11", 9, 1}, {"", "n12", 9, 0},
        {"", "n13", 9, 5}, {"", "n14", 9, 10}, {"", "none", 42, 42}}},
      // A NUL ends a name or a value. Without a byte-order mark "k\0=\0v\0" is ANSI.
      {"nul_bytes", "k\0x=v\0w\r\n[s\0t]\r\nk=2 \0\r\n"s,
       {{"", "k", "", "v"}, {"s", "k", "", "2 "}}},
      {"no_bom", "k\0=\0v\0"s, {{"", "k", "d", ""}}},
      // Outside code page 1252 a character reads as '?', a surrogate pair as two; so does each
      // bad UTF-8 sequence.
      {"utf8_bom",
       "\xEF\xBB\xBF[s]\r\nk=caf\xC3\xA9\r\n\xC3\xA9t\xC3\xA9=summer\r\n"
       "cjk=\xE4\xB8\xAD\xF0\x9F\x98\x80\r\nbad=\xE4\xB8\xC0\x80\xED\xA0\x80x\r\n",
       {{"s", "k", "", "caf\xE9"}, {"s", "\xE9t\xE9", "", "summer"}, {"s", "cjk", "", "???"},
        {"s", "bad", "", "?????x"}}},
      {"utf16le_bom", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0c\0a\0f\0\xE9\0\xAC\x20"s,
       {{"s", "k", "", "caf\xE9\x80"}}},
      {"utf16be_bom", "\xFE\xFF\0[\0s\0]\0\n\0k\0=\0v"s, {{"s", "k", "", "v"}}},
      // An empty file, and a missing one in an existing folder, take the quotes off the
      // default; with the folder missing too it comes back as it is.
      {"empty_file", "", {{"s", "k", "\"d\"", "d"}}, {{"s", "k", 3, 3}}},
      {"missing_file", "", {{"s", "k", "\"d\" ", "d"}}, {{"s", "k", 3, 3}}, Where::kNoFile},
      {"missing_folder", "", {{"s", "k", "\"d\" ", "\"d\""}}, {}, Where::kNoFolder},
  };
  // clang-format on
}
