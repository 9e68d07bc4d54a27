#include "package/member_name.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/path_text.h"

namespace {

struct NameCase {
  std::string name;
  NameCheck expected;
};

TEST(MemberNameTest, AcceptsOnlyRelativeWindowsFileNames) {
  const NameCase cases[] = {
      {"readme.txt", NameCheck::kOk},
      {"doc\\manual\\index.html", NameCheck::kOk},
      {".profile", NameCheck::kOk},
      {"a..b", NameCheck::kOk},
      {"CONSOLE.txt", NameCheck::kOk},
      {"COM0", NameCheck::kOk},
      {std::string(259, 'a'), NameCheck::kOk},
      {std::string(260, 'a'), NameCheck::kTooLong},
      {"", NameCheck::kEmpty},
      {"\\windows\\evil.dll", NameCheck::kAbsolute},
      {"/etc/passwd", NameCheck::kAbsolute},
      {"C:\\evil.txt", NameCheck::kDriveLetter},
      {"c:evil.txt", NameCheck::kDriveLetter},
      {"file.txt:stream", NameCheck::kForbiddenChar},
      {"..\\evil.txt", NameCheck::kParentFolder},
      {"a\\..\\..\\evil.txt", NameCheck::kParentFolder},
      {"a\\..", NameCheck::kParentFolder},
      {"a\\\\b", NameCheck::kEmptyComponent},
      {"a\\", NameCheck::kEmptyComponent},
      {"a/../b", NameCheck::kForbiddenChar},
      {"a<b", NameCheck::kForbiddenChar},
      {"a|b", NameCheck::kForbiddenChar},
      {"a?b", NameCheck::kForbiddenChar},
      {"tab\there", NameCheck::kForbiddenChar},
      {"a.", NameCheck::kTrailingDotOrBlank},
      {"dir \\a", NameCheck::kTrailingDotOrBlank},
      {".\\a", NameCheck::kTrailingDotOrBlank},
      {"...", NameCheck::kTrailingDotOrBlank},
      {"CON", NameCheck::kReservedName},
      {"con.txt", NameCheck::kReservedName},
      {"docs\\Lpt1.log", NameCheck::kReservedName},
      {"nul .txt", NameCheck::kReservedName},
      {"CONIN$", NameCheck::kReservedName},
      {"a\\conout$.txt", NameCheck::kReservedName},
      {"COM\xB9", NameCheck::kReservedName},  // COM with a superscript 1 in code page 1252
      {"lpt\xB3.log", NameCheck::kReservedName},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(CheckMemberName(c.name.data(), c.name.size()), c.expected) << "name: " << c.name;
  }
}

// Under code page 932 the second byte of 表 (95 5C) or of \x95\x7c is no '\' or '|'; under 1252
// each byte is a character of its own, as before.
TEST(MemberNameTest, ReadsNamesAsTextOfTheCodePage) {
  struct Row {
    unsigned codePage;
    std::string name;
    NameCheck expected;
  } rows[] = {
      {932, "\x95\x5c\\x.txt", NameCheck::kOk},  // the folder 表 and x.txt in it
      {932, "\x95\x5c", NameCheck::kOk},
      {932, "\x95\x7c.txt", NameCheck::kOk},
      {932, "\x95\x5c\\..\\x.txt", NameCheck::kParentFolder},
      {932, "a\\\x95", NameCheck::kCutCharacter},
      {1252, "\x95\x5c", NameCheck::kEmptyComponent},
      {1252, "a\\\x95", NameCheck::kOk},
  };
  for (const Row& row : rows) {
    platform::CCodePageForTesting codePage(row.codePage);
    EXPECT_EQ(CheckMemberName(row.name.data(), row.name.size()), row.expected)
        << row.codePage << ": " << row.name;
  }
}

}  // namespace
