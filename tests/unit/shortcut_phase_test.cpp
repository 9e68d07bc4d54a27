#include "install/shortcut_phase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/profile.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"

namespace {

class QuietView : public IInstallView {
 public:
  void ShowPath(const char*) override {}
  void StepProgress() override {}
  int ShowMessage(const char* text, const char*, unsigned) override {
    messages.push_back(text);
    return 1;
  }
  bool IsCancelled() override { return false; }
  void WaitWhilePaused() override {}
  void End() override {}
  std::vector<std::string> messages;
};

class FakeFolders : public IShellFolders {
 public:
  bool Read(CString* programsOut, CString* desktopOut) override {
    *programsOut = programs;
    *desktopOut = desktop;
    return opens;
  }
  bool opens = true;
  CString programs;
  CString desktop;
};

// Records each shortcut as "link -> target"; fails those whose link folder is in `failIn`.
class RecordingWriter : public IShortcutWriter {
 public:
  int CreateShortcut(const CString& targetName, const CString&, const CString& linkName,
                     const CString& baseFolder, const CString& linkFolder) override {
    calls.push_back(std::string(linkFolder + linkName) + " -> " +
                    (baseFolder + targetName).c_str());
    return linkFolder == failIn ? 0 : 1;
  }
  std::vector<std::string> calls;
  CString failIn = "<none>";
};

class ShortcutPhaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folders.programs = m_scratch.Join("Programs").c_str();
    m_folders.desktop = m_scratch.Join("Desktop").c_str();
    platform::CreateFolder(m_folders.programs);
    std::string package;
    for (const char* name : {"tool.exe", "readme.txt", "lib\\x.dll"})
      package += MemberBytes(name, name);
    ASSERT_TRUE(WriteWholeFile(m_pak, package));
  }

  void WriteIni(const std::string& shortcutSection) {
    ASSERT_TRUE(WriteWholeFile(m_ini, "[shortcut]\r\n" + shortcutSection));
  }

  InstallOutcome Install() {
    CShortcutPhase phase(&m_folders, &m_writer, m_ini.c_str(), &m_view);
    return RunInstall(m_location.c_str(), m_pak.c_str(), &m_view, &phase);
  }

  std::vector<std::string> LogEntries() {
    std::vector<std::string> entries;
    std::string log = m_location + "\\uninstall.ini";
    char buffer[300];
    for (int i = 0;; ++i) {
      ReadProfileString("files", ("file" + std::to_string(i)).c_str(), "", buffer, sizeof buffer,
                        log.c_str());
      if (!buffer[0])
        break;
      entries.push_back(buffer);
    }
    ReadProfileString("files", "filenum", "<none>", buffer, sizeof buffer, log.c_str());
    entries.push_back(std::string("filenum=") + buffer);
    return entries;
  }

  ScratchFolder m_scratch;
  std::string m_pak = m_scratch.Join("data.pak");
  std::string m_ini = m_scratch.Join("setup.ini");
  std::string m_location = m_scratch.Join("App");
  FakeFolders m_folders;
  RecordingWriter m_writer;
  QuietView m_view;
};

TEST_F(ShortcutPhaseTest, GroupAndLinksAreLoggedAfterTheFilesInOrder) {
  WriteIni(
      "group=Tools\r\nitemnum=2\r\nitem0FileName=tool.exe\r\nitem0Desc=Tool\r\n"
      "item1FileName=readme.txt\r\nitem1Desc=Read Me\r\nitem1Desktop=1\r\n"
      "item2FileName=ignored.exe\r\n");
  EXPECT_EQ(Install().kind, InstallOutcome::kCompleted);
  std::string group = std::string(m_folders.programs) + "\\Tools";
  std::string desktop = m_folders.desktop.c_str();
  EXPECT_EQ(LogEntries(), (std::vector<std::string>{
                              m_location + "\\tool.exe", m_location + "\\readme.txt",
                              m_location + "\\lib\\x.dll", group, group + "\\Tool.lnk",
                              group + "\\Read Me.lnk", desktop + "\\Read Me.lnk", "filenum=7"}));
  EXPECT_EQ(m_writer.calls, (std::vector<std::string>{
                                group + "\\Tool.lnk -> " + m_location + "\\tool.exe",
                                group + "\\Read Me.lnk -> " + m_location + "\\readme.txt",
                                desktop + "\\Read Me.lnk -> " + m_location + "\\readme.txt"}));
  EXPECT_TRUE(platform::FolderExists(group.c_str()));
  EXPECT_EQ(m_view.messages, (std::vector<std::string>{"Install completed!"}));
}

TEST_F(ShortcutPhaseTest, DefaultsApplyWhenKeysAreMissing) {
  WriteIni("itemnum=1\r\n");
  m_location += "\\";  // the base folder loses exactly this one backslash
  Install();
  std::string base = m_location.substr(0, m_location.size() - 1);
  std::string group = std::string(m_folders.programs) + "\\default group";
  EXPECT_EQ(m_writer.calls, (std::vector<std::string>{group + "\\desc.lnk -> " + base + "\\item"}));
  std::vector<std::string> log = LogEntries();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[3], group);
  EXPECT_EQ(log[5], "filenum=5");
}

// Under code page 932 a location ending in 表 (95 5C) ends in no backslash: the base folder keeps
// both bytes, and loses only a real trailing backslash.
TEST_F(ShortcutPhaseTest, TheBaseFolderKeepsATwoByteCharacterWhole) {
  platform::CCodePageForTesting codePage(932);
  WriteIni("itemnum=1\r\nitem0FileName=tool.exe\r\n");
  const std::string base = m_scratch.Join("\x95\x5c");
  for (const std::string& typed : {base, base + "\\"}) {
    SCOPED_TRACE(typed);
    m_writer.calls.clear();
    m_location = typed;
    Install();
    ASSERT_EQ(m_writer.calls.size(), 1u);
    EXPECT_NE(m_writer.calls[0].find(" -> " + base + "\\tool.exe"), std::string::npos)
        << m_writer.calls[0];
  }
}

TEST_F(ShortcutPhaseTest, NoItemsStillMakeAndLogTheGroup) {
  for (const char* items : {"", "itemnum=0\r\n", "itemnum=-3\r\n"}) {
    SCOPED_TRACE(items);
    m_writer.calls.clear();
    platform::RemoveTree(m_location.c_str());
    WriteIni(std::string("group=G\r\n") + items);
    Install();
    EXPECT_TRUE(m_writer.calls.empty());
    std::vector<std::string> log = LogEntries();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3], std::string(m_folders.programs) + "\\G");
    EXPECT_EQ(log[4], "filenum=4");
  }
}

TEST_F(ShortcutPhaseTest, WithoutTheRegistryKeyTheGroupGoesIntoTheInstallFolder) {
  m_folders.opens = false;
  WriteIni(
      "group=G\r\nitemnum=1\r\nitem0FileName=tool.exe\r\nitem0Desc=Tool\r\nitem0Desktop=1\r\n");
  Install();
  // No desktop link: "\\Tool.lnk" would be the root of the current drive.
  EXPECT_EQ(m_writer.calls, (std::vector<std::string>{m_location + "\\G\\Tool.lnk -> " +
                                                      m_location + "\\tool.exe"}));
  EXPECT_TRUE(platform::FolderExists((m_location + "\\G").c_str()));
}

TEST_F(ShortcutPhaseTest, AnyFailedLinkTurnsTheMessageIntoProblemsButAllAreLogged) {
  WriteIni("group=G\r\nitemnum=2\r\nitem0Desc=Same\r\nitem0Desktop=1\r\nitem1Desc=Same\r\n");
  m_writer.failIn = m_folders.desktop;
  Install();
  std::string group = std::string(m_folders.programs) + "\\G";
  std::vector<std::string> log = LogEntries();
  ASSERT_EQ(log.size(), 8u);
  // The same description twice: the same link path, logged twice.
  EXPECT_EQ(log[4], group + "\\Same.lnk");
  EXPECT_EQ(log[6], group + "\\Same.lnk");
  EXPECT_EQ(
      m_view.messages,
      (std::vector<std::string>{"Install completed! There are problems at create shortcut."}));
}

TEST_F(ShortcutPhaseTest, NamesThatWouldLeaveTheUserFoldersMakeNothing) {
  WriteIni("group=..\\Escaped\r\nitemnum=1\r\nitem0Desc=Tool\r\nitem0Desktop=1\r\n");
  Install();
  // No group outside Programs; the desktop link has a safe name and is still made.
  EXPECT_FALSE(platform::FolderExists(m_scratch.Join("Escaped").c_str()));
  EXPECT_EQ(m_writer.calls, (std::vector<std::string>{std::string(m_folders.desktop) +
                                                      "\\Tool.lnk -> " + m_location + "\\item"}));
  EXPECT_EQ(
      m_view.messages,
      (std::vector<std::string>{"Install completed! There are problems at create shortcut."}));

  m_writer.calls.clear();
  m_view.messages.clear();
  WriteIni("group=G\r\nitemnum=1\r\nitem0Desc=..\\..\\..\\Evil\r\nitem0Desktop=1\r\n");
  Install();
  EXPECT_TRUE(m_writer.calls.empty());
  EXPECT_EQ(
      m_view.messages,
      (std::vector<std::string>{"Install completed! There are problems at create shortcut."}));
}

}  // namespace
