// The INI reader against answers measured under Wine, the writer's byte-exact edits, and
// setup.ini beside the running program.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/setup_config.h"
#include "tests/unit/profile_corpus.h"

namespace {

using namespace std::string_literals;

TEST(ProfileRead, CorpusGivesWinesAnswers) {
  ScratchFolder scratch;
  for (const ProfileCase& c : ProfileCorpus()) {
    std::string path = PlaceCase(scratch, c);
    for (const StringQuery& q : c.strings) {
      SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
      char buffer[260];
      uint32_t n = ReadProfileString(q.section, q.key, q.def, buffer, sizeof buffer, path.c_str());
      EXPECT_EQ(q.value, std::string(buffer, n));
      EXPECT_EQ(n, strlen(buffer));
      // The section read once must give the same answer for every key it finds.
      CProfileSectionReader once;
      std::string value;
      if (once.Load(path.c_str(), q.section) && once.Read(q.key, &value)) {
        EXPECT_EQ(q.value, value);
      }
    }
    for (const IntQuery& q : c.ints) {
      SCOPED_TRACE(std::string(c.name) + " [" + q.section + "] " + q.key);
      EXPECT_EQ(q.value, ReadProfileInt(q.section, q.key, q.def, path.c_str()));
    }
  }
}

// Wine judges whether a quoted value fits by its length after the opening quote, so a buffer of
// exactly that size loses one character more.
TEST(ProfileRead, SmallBuffersCutWithoutOverrun) {
  ScratchFolder scratch;
  std::string path = scratch.Join("small.ini");
  WriteWholeFile(path, "q=\"abc\"\r\np=abcdef\r\n");
  struct Case {
    const char* key;
    uint32_t size;
    const char* value;
  } cases[] = {{"q", 1, ""},    {"q", 2, "a"}, {"q", 3, "ab"},  {"q", 4, "ab"},    {"q", 5, "abc"},
               {"q", 6, "abc"}, {"p", 1, ""},  {"p", 4, "abc"}, {"p", 7, "abcdef"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " size " + std::to_string(c.size));
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    uint32_t n = ReadProfileString("", c.key, "", buffer, c.size, path.c_str());
    EXPECT_EQ(c.value, std::string(buffer, n));
    EXPECT_EQ('\0', buffer[n]);
    EXPECT_EQ(std::string(sizeof buffer - c.size, '#'), std::string(buffer + c.size, buffer + 16));
  }
  char untouched = '#';
  EXPECT_EQ(0u, ReadProfileString("", "p", "", &untouched, 0, path.c_str()));
  EXPECT_EQ('#', untouched);
}

const std::string kNoFile = "(no file)";

struct WriteCase {
  const char* name;
  std::string before;
  std::string after;
  const char* section;
  const char* key;
  const char* value;
};

TEST(ProfileWrite, ChangesOnlyWhatItMust) {
  const WriteCase cases[] = {
      {"new_file", kNoFile, "[main]\r\ntotalfiles=12\r\n", "main", "totalfiles", "12"},
      {"new_section", "[a]\nk=1", "[a]\nk=1\r\n[main]\r\ntotalfiles=12\r\n", "main", "totalfiles",
       "12"},
      {"replace_in_place", "; c\n[main]\nt=x\n  TotalFiles = 3 \nz=1\n[o]\ntotalfiles=9\n",
       "; c\n[main]\nt=x\ntotalfiles=12\nz=1\n[o]\ntotalfiles=9\n", "main", "totalfiles", "12"},
      {"after_last_line", "[main]\r\na=1\r\n\r\n[x]\r\n", "[main]\r\na=1\r\nk=v\r\n\r\n[x]\r\n",
       " main ", " k ", "v"},
      {"header_at_end", "[main]", "[main]\r\nk=v\r\n", "main", "k", "v"},
      {"first_duplicate", "[m]\r\n[m]\r\nk=1\r\n", "[m]\r\nk=v\r\n[m]\r\nk=1\r\n", "m", "k", "v"},
      {"key_without_value", "[m]\r\nk\r\n", "[m]\r\nk=v\r\n", "m", "k", "v"},
      {"nameless", "[s]\r\n", "k=v\r\n[s]\r\n", "", "k", "v"},
      {"utf8", "\xEF\xBB\xBF[m]\r\nk=1\r\n", "\xEF\xBB\xBF[m]\r\nk=\xC3\xA9\r\n", "m", "k", "\xE9"},
      {"utf16", "\xFF\xFE[\0m\0]\0\n\0"s, "\xFF\xFE[\0m\0]\0\n\0k\0=\0\xE9\0\r\0\n\0"s, "m", "k",
       "\xE9"},
  };
  ScratchFolder scratch;
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = scratch.Join(std::string(c.name) + ".ini");
    if (c.before != kNoFile)
      WriteWholeFile(path, c.before);
    ASSERT_TRUE(WriteProfileString(c.section, c.key, c.value, path.c_str()));
    EXPECT_EQ(c.after, ReadWholeFile(path));
    char buffer[260];
    ReadProfileString(c.section, c.key, "", buffer, sizeof buffer, path.c_str());
    EXPECT_STREQ(c.value, buffer);
    EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
  }
}

TEST(ProfileWrite, RefusesAndLeavesTheFileAlone) {
  ScratchFolder scratch;
  std::string path = scratch.Join("setup.ini");
  const std::string before = "[main]\r\nk=1\r\n";
  WriteWholeFile(path, before);
  const char* p = path.c_str();
  EXPECT_FALSE(WriteProfileString("main", "a=b", "1", p));
  EXPECT_FALSE(WriteProfileString("main", "[k", "1", p));
  EXPECT_FALSE(WriteProfileString("main", " ", "1", p));
  EXPECT_FALSE(WriteProfileString("main", "k", "1\r\nj=2", p));
  EXPECT_FALSE(WriteProfileString("ma\nin", "k", "1", p));
  EXPECT_FALSE(WriteProfileString("main", "k", nullptr, p));
  ASSERT_TRUE(platform::SetReadOnly(p));
  EXPECT_FALSE(WriteProfileString("main", "k", "2", p));
  platform::SetNormalAttributes(p);
  EXPECT_EQ(before, ReadWholeFile(path));
  EXPECT_FALSE(platform::FileExists((path + ".tmp").c_str()));
  EXPECT_FALSE(WriteProfileString("main", "k", "2", scratch.Join("absent\\setup.ini").c_str()));
}

TEST(SetupConfig, ModuleDirIsTheProgramsFolder) {
  std::string program = platform::ModuleFileName();
  CString dir = GetModuleDir();
  ASSERT_GT(dir.GetLength(), 0);
  EXPECT_EQ('\\', dir[dir.GetLength() - 1]);
  EXPECT_EQ(program.substr(0, dir.GetLength()), dir.str());
  EXPECT_EQ(std::string::npos, program.find('\\', dir.GetLength()));
  EXPECT_TRUE(platform::FolderExists(dir));
  EXPECT_EQ((dir + "setup.ini").str(), GetSetupIniPath().str());
}

TEST(SetupConfig, ReadsSetupIniBesideTheProgram) {
  CString ini = GetSetupIniPath();
  if (platform::FileExists(ini))
    GTEST_SKIP() << "will not overwrite " << ini.c_str();
  ASSERT_TRUE(WriteWholeFile(ini.str(),
                             "[main]\r\ntitle=" + std::string(300, 't') + "\r\ntotalfiles=12\r\n"));
  EXPECT_EQ(std::string(259, 't'), ReadSetupString("main", "title", "").str());
  EXPECT_STREQ("d", ReadSetupString("main", "none", "d"));
  EXPECT_EQ(12, ReadSetupInt("main", "totalfiles"));
  EXPECT_EQ(0, ReadSetupInt("main", "none"));
  platform::RemoveFile(ini);
}

}  // namespace
