#include "package/member_name.h"

#include <gtest/gtest.h>

#include <string>

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
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(CheckMemberName(c.name.data(), c.name.size()), c.expected) << "name: " << c.name;
  }
}

}  // namespace
