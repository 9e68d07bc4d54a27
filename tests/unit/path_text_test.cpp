// Separators found as characters of the code page: under 932 the second byte of 表 (95 5C) is
// no backslash; under 1252 every byte is a character of its own, as before.
#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kHyo = "\x95\x5c";  // 表 in code page 932

TEST(PathTextTest, SeparatorsAreCharactersOfTheirOwn) {
  const size_t kNone = static_cast<size_t>(-1);
  struct Row {
    unsigned codePage;
    std::string text;
    size_t last;  // LastSeparator, or kNone
    bool endsInSeparator;
  } rows[] = {
      {932, "C:\\" + kHyo, 2, false},
      {932, "C:\\" + kHyo + "\\", 5, true},
      {932, kHyo + "x", kNone, false},
      {932, "a\\\x95", 1, false},  // a lead byte cut off at the end is a byte of its own
      {1252, "C:\\" + kHyo, 4, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    platform::CCodePageForTesting codePage(row.codePage);
    size_t last = kNone;
    platform::LastSeparator(row.text.data(), row.text.size(), &last);
    EXPECT_EQ(last, row.last);
    EXPECT_EQ(platform::EndsInSeparator(row.text.data(), row.text.size()), row.endsInSeparator);
  }
}

}  // namespace
