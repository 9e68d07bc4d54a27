#include "ui/install_check.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kMegabyte = 1ull << 20;

struct CheckCase {
  const char* location;
  bool spaceKnown;
  uint64_t freeBytes;
  int needSpace;
  const char* message;  // empty when accepted
};

TEST(InstallCheckTest, LengthFirstThenSpaceWhenItCanBeQueried) {
  const CheckCase cases[] = {
      {"", true, 0, 0, "Location not available! "},
      {"C:", true, 1000 * kMegabyte, 0, "Location not available! "},
      {"C:\\", true, 1000 * kMegabyte, 0, ""},
      {"abc", false, 0, 500, ""},  // a root that cannot be queried: no space check
      {"\\\\server\\share\\app", false, 0, 500, ""},
      {"D:\\Apps", true, 100 * kMegabyte - 1, 100,
       "Free disk space not enough,requires at least 100M of disk space!"},
      {"D:\\Apps", true, 100 * kMegabyte, 100, ""},
      {"D:\\Apps", true, 0, 0, ""},
      {"D:\\Apps", true, 0, -5, ""},
      {"D:\\Apps", true, 3ull * 1024 * 1024 * kMegabyte, 4000000,
       "Free disk space not enough,requires at least 4000000M of disk space!"},
  };
  for (const CheckCase& c : cases) {
    LocationCheck check = CheckLocation(c.location, c.spaceKnown, c.freeBytes, c.needSpace);
    EXPECT_EQ(check.accepted, c.message[0] == '\0') << c.location;
    EXPECT_EQ(check.message, c.message) << c.location;
  }
}

TEST(InstallCheckTest, VolumeRootIsTheFirstThreeCharacters) {
  EXPECT_EQ(VolumeRoot("D:\\Apps\\App"), "D:\\");
  EXPECT_EQ(VolumeRoot("\\\\server\\share"), "\\\\s");
  EXPECT_EQ(VolumeRoot("abc"), "abc");
}

}  // namespace
