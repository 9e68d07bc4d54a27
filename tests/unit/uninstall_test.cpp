#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "install/log_entries.h"
#include "install/path_rules.h"
#include "platform/fs.h"
#include "platform/held_folder.h"
#include "platform/path_text.h"
#include "tests/unit/test_support.h"
#include "uninstall/removal.h"
#include "uninstall/uninstall_flow.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

TEST(EntryRulesTest, OnlyWhereTheInstallationPutsThings) {
  const CString install = "C:\\App";
  const CString programs = "C:\\Users\\u\\Programs";
  const CString desktop = "C:\\Users\\u\\Desktop";
  struct Row {
    const char* entry;
    EntryPlace place;
  } rows[] = {
      {"C:\\App\\a.txt", EntryPlace::kInstall},
      {"c:\\app\\SUB\\b.txt", EntryPlace::kInstall},
      {"C:\\App\\\\a.txt", EntryPlace::kInstall},  // location logged with a trailing backslash
      {"C:/App/sub/b.txt", EntryPlace::kInstall},
      {"C:\\Apple\\a.txt", EntryPlace::kRefused},  // shares only a prefix
      {"C:\\App", EntryPlace::kRefused},
      {"C:\\App\\..\\Windows\\win.ini", EntryPlace::kRefused},
      {"C:\\App/sub/../../Windows/win.ini", EntryPlace::kRefused},
      {"C:\\App\\.\\a.txt", EntryPlace::kRefused},
      {"C:\\App\\a.txt:hidden", EntryPlace::kRefused},
      {"C:\\App\\sub\\NUL.txt", EntryPlace::kRefused},
      {"C:\\App\\a.txt.", EntryPlace::kRefused},
      {"C:\\Windows\\win.ini", EntryPlace::kRefused},
      {"\\\\server\\share\\App\\a.txt", EntryPlace::kRefused},
      {"C:\\Users\\u\\Programs\\Demo", EntryPlace::kGroup},
      {"C:\\Users\\u\\Programs\\Demo\\Run.lnk", EntryPlace::kGroupLink},
      {"C:\\Users\\u\\Programs\\Demo\\Run.exe", EntryPlace::kRefused},
      {"C:\\Users\\u\\Programs\\Demo\\sub\\Run.lnk", EntryPlace::kRefused},
      {"C:\\Users\\u\\Programs\\Other\\Run.lnk", EntryPlace::kRefused},  // no such group logged
      {"C:\\Users\\u\\Programs\\Demo\\..\\..\\x.lnk", EntryPlace::kRefused},
      {"C:\\Users\\u\\Desktop\\Run.lnk", EntryPlace::kDesktopLink},
      {"C:\\Users\\u\\Desktop\\Run.txt", EntryPlace::kRefused},
      {"C:\\Users\\u\\Desktop\\sub\\Run.lnk", EntryPlace::kRefused},
      {"\\Run.lnk", EntryPlace::kRefused},  // a desktop link made without a Desktop folder
  };
  CEntryRules rules(install, programs, desktop);
  rules.AddGroup("C:\\Users\\u\\Programs\\Demo");
  for (const Row& row : rows)
    EXPECT_EQ(rules.Classify(NormalisePath(row.entry)), row.place) << row.entry;

  // Without the user's folders only the install folder counts.
  CEntryRules bare(install, "", "");
  EXPECT_EQ(bare.Classify("C:\\Users\\u\\Programs\\Demo"), EntryPlace::kRefused);
  EXPECT_EQ(bare.Classify("C:\\App\\Demo\\Run.lnk"), EntryPlace::kInstall);
}

// Under code page 932 the install folder C:\ア\表 ends in the byte 5C, the second half of 表
// (95 5C), and ア (83 41) is no ヂ (83 61) in another case; ASCII letters still fold.
TEST(EntryRulesTest, TwoByteCharactersStayWhole) {
  platform::CCodePageForTesting codePage(932);
  const std::string a = "C:\\\x83\x41";  // C:\ア
  const std::string hyo = "\x95\x5c";
  struct Row {
    std::string entry;
    EntryPlace place;
  } rows[] = {
      {a + "\\" + hyo + "\\x.txt", EntryPlace::kInstall},
      {"c" + a.substr(1) + "\\" + hyo + "\\X.TXT", EntryPlace::kInstall},
      {a + "\\" + hyo + "\x8c\x76\x8e\x5a\\x.txt", EntryPlace::kRefused},  // ...\表計算\x.txt
      {"C:\\\x83\x61\\" + hyo + "\\x.txt", EntryPlace::kRefused},          // C:\ヂ\表\x.txt
  };
  CEntryRules rules(NormalisePath((a + "\\" + hyo).c_str()), "", "");
  for (const Row& row : rows)
    EXPECT_EQ(rules.Classify(NormalisePath(row.entry.c_str())), row.place) << row.entry;
}

// One group per installation: a log that records two may name two, and a repeat of one is that
// one again.
TEST(EntryRulesTest, GroupsUpToTheLogsCount) {
  const char* const entries[] = {"P\\A", "P\\A\\x.lnk", "P\\B", "P\\B\\y.lnk", "P\\A", "P\\C"};
  const EntryPlace G = EntryPlace::kGroup, L = EntryPlace::kGroupLink, R = EntryPlace::kRefused;
  struct Row {
    int limit;
    std::vector<EntryPlace> places;
  } rows[] = {
      {1, {G, L, R, R, G, R}},
      {2, {G, L, G, L, G, R}},
  };
  for (const Row& row : rows) {
    CEntryRules rules("C:\\App", "P", "");
    std::vector<CString> list(std::begin(entries), std::end(entries));
    EXPECT_EQ(ClassifyEntries(list, row.limit, &rules), row.places) << row.limit;
  }
}

class MapKeys : public ILogKeys {
 public:
  explicit MapKeys(std::map<std::string, std::string> keys) : m_keys(std::move(keys)) {}
  bool Read(const char* key, CString* value) override {
    auto it = m_keys.find(key);
    if (it == m_keys.end())
      return false;
    *value = it->second.c_str();
    return true;
  }

 private:
  std::map<std::string, std::string> m_keys;
};

TEST(LogEntriesTest, CountOrConsecutiveKeys) {
  struct Row {
    const char* what;
    std::map<std::string, std::string> keys;
    size_t entries;
  } rows[] = {
      {"filenum", {{"file0", "a"}, {"file1", "b"}, {"file2", "c"}, {"filenum", "2"}}, 2},
      {"no filenum", {{"file0", "a"}, {"file1", "b"}}, 2},
      {"gap", {{"file0", "a"}, {"file2", "c"}}, 1},
      {"filenum past the keys", {{"file0", "a"}, {"filenum", "5"}}, 1},
      {"negative filenum", {{"file0", "a"}, {"filenum", "-1"}}, 1},
      {"filenum no number", {{"file0", "a"}, {"file1", "b"}, {"filenum", "1x"}}, 2},
      {"empty", {{"filenum", "0"}, {"file0", "a"}}, 0},
  };
  for (Row& row : rows) {
    MapKeys keys(row.keys);
    EXPECT_EQ(ReadLogEntries(&keys).size(), row.entries) << row.what;
  }
}

class RecordingView : public IRemovalView {
 public:
  void BeginSteps(size_t) override {}
  void ShowPath(const char* path) override { shown.push_back(path); }
  void StepProgress() override { ++steps; }
  std::vector<std::string> shown;
  int steps = 0;
};

// An installed tree: three files in nested folders, the group with a link, a desktop link, the
// uninstaller and its log, and things that are not ours.
class RemovalTest : public ::testing::Test {
 public:
  void SetUp() override {
    for (const char* folder :
         {"App", "App\\sub", "App\\sub\\deep", "Programs", "Programs\\Demo", "Desktop"})
      platform::CreateFolder(Path(folder));
    for (const char* file :
         {"App\\a.txt", "App\\sub\\b.txt", "App\\sub\\deep\\c.txt", "App\\uninstall.exe",
          "App\\uninstall.ini", "Programs\\Demo\\Run.lnk", "Desktop\\Run.lnk", "outside.txt"})
      ASSERT_TRUE(WriteWholeFile(Path(file).c_str(), "x"));
    m_entries = {Path("App\\uninstall.exe"), Path("App\\a.txt"),
                 Path("App\\sub\\b.txt"),    Path("App\\sub\\deep\\c.txt"),
                 Path("Programs\\Demo"),     Path("Programs\\Demo\\Run.lnk"),
                 Path("Desktop\\Run.lnk"),   Path("App\\..\\outside.txt"),
                 Path("App\\a.txt")};
    m_keep = {Path("App\\uninstall.exe"), Path("App\\uninstall.ini")};
  }
  void TearDown() override { SetRemoveFileForTesting(nullptr); }

  CString Path(const char* relative) const { return m_scratch.Join(relative).c_str(); }
  RemovalReport Run() {
    CEntryRules rules(Path("App"), Path("Programs"), Path("Desktop"));
    return RemoveEntries(m_entries, 1, &rules, m_keep, &m_view);
  }

  ScratchFolder m_scratch;
  std::vector<CString> m_entries;
  std::vector<CString> m_keep;
  RecordingView m_view;
};

TEST_F(RemovalTest, RemovesOursLastFirstAndKeepsWhatIsNot) {
  ASSERT_TRUE(WriteWholeFile(Path("App\\sub\\mine.txt").c_str(), "not ours"));
  RemovalReport report = Run();
  EXPECT_FALSE(report.oursLeft);
  ASSERT_EQ(m_view.shown.size(), m_entries.size());
  EXPECT_EQ(m_view.shown.front(), std::string(m_entries.back()));
  EXPECT_EQ(m_view.steps, static_cast<int>(m_entries.size()));
  for (const char* gone :
       {"App\\a.txt", "App\\sub\\b.txt", "App\\sub\\deep", "Programs\\Demo", "Desktop\\Run.lnk"})
    EXPECT_FALSE(platform::FileExists(Path(gone)) || platform::FolderExists(Path(gone))) << gone;
  for (const char* stays :
       {"outside.txt", "App\\sub\\mine.txt", "App\\uninstall.exe", "App\\uninstall.ini"})
    EXPECT_TRUE(platform::FileExists(Path(stays))) << stays;
  // Left: the folder the foreign file keeps alive, and the refused entry.
  ASSERT_EQ(report.leftCount, 2u);
  EXPECT_EQ(report.firstLeft[0].reason, LeftReason::kRefused);
  EXPECT_EQ(report.firstLeft[1].reason, LeftReason::kNotEmpty);

  FinishRemoval(Path("App"), m_keep, &report);
  EXPECT_FALSE(report.oursLeft);  // App stays for sub\mine.txt, which is not ours
  EXPECT_FALSE(platform::FileExists(Path("App\\uninstall.ini")));
  EXPECT_TRUE(platform::FileExists(Path("App\\sub\\mine.txt")));
}

// An upgrade that kept the group: its folder is logged twice and goes after every link that
// either installation put in it.
TEST_F(RemovalTest, ARepeatedGroupGoesAfterAllItsLinks) {
  ASSERT_TRUE(WriteWholeFile(Path("Programs\\Demo\\Old.lnk").c_str(), "x"));
  m_entries = {Path("Programs\\Demo"), Path("Programs\\Demo\\Old.lnk"), Path("Programs\\Demo"),
               Path("Programs\\Demo\\Run.lnk")};
  RemovalReport report = Run();
  EXPECT_EQ(report.leftCount, 0u) << DescribeRemoval(report).c_str();
  EXPECT_FALSE(platform::FolderExists(Path("Programs\\Demo")));
}

bool RefuseB(const char* path) {
  return std::string(path).find("b.txt") == std::string::npos && platform::RemoveFile(path);
}

TEST_F(RemovalTest, WhatCannotGoIsReportedAndASecondRunFinishes) {
  SetRemoveFileForTesting(RefuseB);
  RemovalReport first = Run();
  EXPECT_TRUE(first.oursLeft);
  EXPECT_TRUE(platform::FileExists(Path("App\\sub\\b.txt")));
  EXPECT_FALSE(platform::FileExists(Path("App\\a.txt")));
  EXPECT_FALSE(platform::FolderExists(Path("App\\sub\\deep")));

  SetRemoveFileForTesting(nullptr);
  RemovalReport second = Run();
  EXPECT_FALSE(second.oursLeft);
  EXPECT_EQ(second.leftCount, 1u);  // the refused entry only
  EXPECT_FALSE(platform::FolderExists(Path("App\\sub")));
  FinishRemoval(Path("App"), m_keep, &second);
  EXPECT_EQ(second.leftCount, 1u);
  EXPECT_FALSE(platform::FolderExists(Path("App")));
}

#ifdef _WIN32
// Wine makes no junctions: the system's answer is changed so that App\sub reads as one. Nothing
// below it is touched, and its entries are reported.
std::string g_junction;
bool IsJunction(const std::string& final) {
  return platform::SameFinalPath(final, g_junction);
}

TEST_F(RemovalTest, NothingBelowAJunctionIsTouched) {
  g_junction = Path("App\\sub").c_str();
  platform::SetLinkForTesting(IsJunction);
  RemovalReport report = Run();
  platform::SetLinkForTesting(nullptr);
  EXPECT_TRUE(platform::FileExists(Path("App\\sub\\b.txt")));
  EXPECT_TRUE(platform::FileExists(Path("App\\sub\\deep\\c.txt")));
  ASSERT_GE(report.firstLeft.size(), 2u);
  EXPECT_EQ(report.firstLeft[1].path, Path("App\\sub\\deep\\c.txt"));
  EXPECT_EQ(report.firstLeft[1].reason, LeftReason::kThroughLink);
}
#endif

#ifndef _WIN32
// What an unelevated program that can write the install folder or the user's folders may do to
// turn the removal against files elsewhere, through the platform layer with POSIX links standing
// in for junctions: a link made beforehand, a folder swapped for a link between the check and the
// act (the install folder itself too), a hard link to a read-only file, a folder named like a
// link. Nothing outside changes, and the entry is reported. (Windows links need a privilege the
// tests do not have.)
struct AttackRow {
  const char* what;
  void (*before)(RemovalTest*);  // made before the removal starts
  const char* swapAt;            // the entry before which swap runs
  void (*swap)(RemovalTest*);
  const char* entry;  // an entry the log gains, if any
  const char* reported;
  LeftReason reason;
};

class AttackTest : public RemovalTest, public ::testing::WithParamInterface<AttackRow> {};

AttackTest* g_fixture = nullptr;

void SwapBefore(const char* path) {
  const AttackRow& row = g_fixture->GetParam();
  if (row.swapAt && std::string(path) == std::string(g_fixture->Path(row.swapAt)))
    row.swap(g_fixture);
}

void MakeLink(RemovalTest* test, const char* target, const char* link) {
  ASSERT_EQ(symlink(platform::HostPath(test->Path(target)).c_str(),
                    platform::HostPath(test->Path(link)).c_str()),
            0);
}

// The folder goes aside and a link to "elsewhere" takes its name.
void SwapForLink(RemovalTest* test, const char* folder) {
  std::string away = std::string(folder) + ".away";
  ASSERT_TRUE(platform::RenameReplacing(test->Path(folder), test->Path(away.c_str())));
  MakeLink(test, "elsewhere", folder);
}

const char* const kElsewhere[] = {"a.txt", "b.txt", "deep\\c.txt", "uninstall.exe",
                                  "uninstall.ini"};

TEST_P(AttackTest, NothingOutsideChanges) {
  const AttackRow& row = GetParam();
  // What lies elsewhere: files of the same names, one of them read-only.
  platform::CreateFolder(Path("elsewhere"));
  platform::CreateFolder(Path("elsewhere\\deep"));
  for (const char* file : kElsewhere)
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join(std::string("elsewhere\\") + file), "not ours"));
  ASSERT_TRUE(platform::SetReadOnly(Path("elsewhere\\a.txt")));
  if (row.before)
    row.before(this);
  if (row.entry)
    m_entries.push_back(Path(row.entry));
  g_fixture = this;
  SetBeforeActForTesting(SwapBefore);
  RemovalReport report = Run();
  FinishRemoval(Path("App"), m_keep, &report);
  SetBeforeActForTesting(nullptr);

  for (const char* file : kElsewhere)
    EXPECT_EQ(ReadWholeFile(m_scratch.Join(std::string("elsewhere\\") + file)), "not ours") << file;
  struct stat st;
  ASSERT_EQ(stat(platform::HostPath(Path("elsewhere\\a.txt")).c_str(), &st), 0);
  EXPECT_FALSE(st.st_mode & S_IWUSR) << "the file outside is no longer read-only";
  bool reported = false;
  for (const LeftItem& item : report.firstLeft)
    reported |= item.path == Path(row.reported) && item.reason == row.reason;
  EXPECT_TRUE(reported) << DescribeRemoval(report).c_str();
}

const AttackRow kAttacks[] = {
    {"LinkInside", [](RemovalTest* t) { MakeLink(t, "elsewhere", "App\\sub\\link"); }, nullptr,
     nullptr, "App\\sub\\link\\b.txt", "App\\sub\\link\\b.txt", LeftReason::kThroughLink},
    {"SubfolderSwapped", nullptr, "Programs\\Demo",
     [](RemovalTest* t) { SwapForLink(t, "App\\sub"); }, nullptr, "App\\sub\\deep\\c.txt",
     LeftReason::kThroughLink},
    {"InstallFolderSwapped", nullptr, "Programs\\Demo",
     [](RemovalTest* t) { SwapForLink(t, "App"); }, nullptr, "App\\sub\\deep\\c.txt",
     LeftReason::kThroughLink},
    {"HardLinkToReadOnly",
     [](RemovalTest* t) {
       ASSERT_TRUE(platform::RemoveFile(t->Path("App\\a.txt")));
       ASSERT_EQ(link(platform::HostPath(t->Path("elsewhere\\a.txt")).c_str(),
                      platform::HostPath(t->Path("App\\a.txt")).c_str()),
                 0);
     },
     nullptr, nullptr, nullptr, "App\\a.txt", LeftReason::kOtherNames},
    {"FolderNamedLikeALink",
     [](RemovalTest* t) {
       ASSERT_TRUE(platform::RemoveFile(t->Path("Desktop\\Run.lnk")));
       ASSERT_TRUE(platform::CreateFolder(t->Path("Desktop\\Run.lnk")));
     },
     nullptr, nullptr, nullptr, "Desktop\\Run.lnk", LeftReason::kNotExpected},
};
INSTANTIATE_TEST_SUITE_P(Attacks, AttackTest, ::testing::ValuesIn(kAttacks),
                         [](const auto& info) { return std::string(info.param.what); });
#endif

bool RefuseUninstaller(const char* path) {
  return std::string(path).find("uninstall.exe") == std::string::npos && platform::RemoveFile(path);
}

// A running uninstaller that cannot delete itself must not delete its log either.
TEST_F(RemovalTest, AnUninstallerThatStaysKeepsItsLog) {
  RemovalReport report = Run();
  ASSERT_FALSE(report.oursLeft);
  SetRemoveFileForTesting(RefuseUninstaller);
  FinishRemoval(Path("App"), m_keep, &report);
  EXPECT_TRUE(report.oursLeft);
  EXPECT_TRUE(report.keptForSecondRun);
  EXPECT_TRUE(platform::FileExists(Path("App\\uninstall.ini")));
}

}  // namespace
