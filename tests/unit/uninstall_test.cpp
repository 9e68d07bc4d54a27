#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "tests/unit/test_support.h"
#include "uninstall/log_entries.h"
#include "uninstall/path_rules.h"
#include "uninstall/removal.h"

#ifndef _WIN32
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
 protected:
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
    return RemoveEntries(m_entries, &rules, m_keep, &m_view);
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

#ifndef _WIN32
// A link inside the install folder could lead anywhere: nothing behind it is touched. (Making a
// link on Windows needs a privilege the tests do not have.)
TEST_F(RemovalTest, NothingBehindALinkIsTouched) {
  platform::CreateFolder(Path("elsewhere"));
  ASSERT_TRUE(WriteWholeFile(Path("elsewhere\\victim.txt").c_str(), "not ours"));
  ASSERT_EQ(symlink(platform::HostPath(Path("elsewhere")).c_str(),
                    platform::HostPath(Path("App\\sub\\link")).c_str()),
            0);
  m_entries.push_back(Path("App\\sub\\link\\victim.txt"));
  RemovalReport report = Run();
  EXPECT_TRUE(platform::FileExists(Path("elsewhere\\victim.txt")));
  ASSERT_FALSE(report.firstLeft.empty());
  EXPECT_EQ(report.firstLeft[0].reason, LeftReason::kRefused);
}
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
