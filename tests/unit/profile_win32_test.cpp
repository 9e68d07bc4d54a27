// Our reader against the system's own GetPrivateProfileStringA / GetPrivateProfileIntA, on the
// shared corpus and on every byte value around names and values. Under Wine this is what keeps
// profile_read.cpp honest.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/unit/profile_corpus.h"

namespace {

// Every buffer size that cuts the corpus's short values, and the one setup.exe uses.
const DWORD kSizes[] = {1, 2, 3, 4, 5, 6, 8, 260};

void ExpectSameString(const char* section, const char* key, const char* def,
                      const std::string& path, bool allSizes = true) {
  for (DWORD size : kSizes) {
    if (!allSizes && size != 260)
      continue;
    SCOPED_TRACE("size " + std::to_string(size));
    char ours[260];
    char theirs[260];
    uint32_t n = ReadProfileString(section, key, def, ours, size, path.c_str());
    DWORD m = GetPrivateProfileStringA(section, key, def, theirs, size, path.c_str());
    ASSERT_EQ(m, n);
    EXPECT_EQ(std::string(theirs, m), std::string(ours, n));
  }
}

void ExpectSameInt(const char* section, const char* key, int def, const std::string& path) {
  EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA(section, key, def, path.c_str())),
            ReadProfileInt(section, key, def, path.c_str()));
}

TEST(ProfileAgainstWindows, Corpus) {
  ScratchFolder scratch;
  for (const ProfileCase& c : ProfileCorpus()) {
    std::string path = PlaceCase(scratch, c);
    for (const StringQuery& q : c.strings) {
      SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
      ExpectSameString(q.section, q.key, q.def, path);
      ExpectSameInt(q.section, q.key, 7, path);
    }
    for (const IntQuery& q : c.ints) {
      SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
      ExpectSameInt(q.section, q.key, q.def, path);
    }
  }
}

// Which bytes are blanks, line ends or letters of another case: each byte around a value, a
// section name and a key name, and case-flipped in a section name. One file per byte, since
// Wine caches a profile by its name.
TEST(ProfileAgainstWindows, EveryByte) {
  ScratchFolder scratch;
  for (int b = 1; b < 256; ++b) {
    SCOPED_TRACE("byte " + std::to_string(b));
    const std::string c(1, static_cast<char>(b));
    std::string path = scratch.Join("byte" + std::to_string(b) + ".ini");
    WriteWholeFile(path, "k=" + c + "v" + c + "\r\n[" + c + "s" + c + "]\r\nk" + c + "=2\r\n" + c +
                             "x=3\r\n[t" + c + "]\r\nk=4\r\n");
    const std::string flipped = "t" + std::string(1, static_cast<char>(b ^ 0x20));
    ExpectSameString("", "k", "d", path, false);
    ExpectSameString("s", "k", "d", path, false);
    ExpectSameString("s", "x", "d", path, false);
    ExpectSameString(flipped.c_str(), "k", "d", path, false);
  }
}

}  // namespace
