// setup.exe from start to exit, driven through its windows as a user would: a distribution
// folder with setup.ini, data.pak, the log template and face.bmp, the main dialog, the checks
// behind Install, the progress dialog, and what ends up on disk.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/profile.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"
#include "tests/wine/keep_desktop.h"
#include "tests/wine/ui_driver.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::CreateFolder(m_dist.c_str()));
    ASSERT_TRUE(platform::CopyFileReplacing(GetModuleDir() + "setup.exe",
                                            (m_dist + "\\setup.exe").c_str()));
    std::string package;
    for (const auto& file : m_files)
      package += MemberBytes(file.first, file.second);
    ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package));
    ASSERT_TRUE(WriteWholeFile(m_dist + "\\uninstall.ini", "[product]\r\nname=E2E\r\n"));
    ASSERT_TRUE(
        platform::CopyFileReplacing(GetModuleDir() + "face.bmp", (m_dist + "\\face.bmp").c_str()));
    WriteSetupIni(0);
  }

  void WriteSetupIni(int needSpace) {
    ASSERT_TRUE(
        WriteWholeFile(m_dist + "\\setup.ini",
                       "[main]\r\ntitle=E2E Setup\r\nlocation=C:\\Program Files\\E2E App\r\n"
                       "needspace=" +
                           std::to_string(needSpace) + "\r\ntotalfiles=3\r\n"));
  }

  // Starts setup.exe and waits for its main dialog.
  HWND Start(const char* caption = "E2E Setup") {
    EXPECT_TRUE(m_process.Start(m_dist + "\\setup.exe", ""));
    HWND dialog = WaitForDialog(m_process.Id(), caption, kTimeoutMs);
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }

  // Presses Install and answers the message box it raises with OK; returns the box's text.
  std::string InstallRefused(HWND dialog) {
    EXPECT_TRUE(ClickButton(dialog, IDOK));
    HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
    if (!box)
      return "<no message>";
    EXPECT_EQ(WindowText(box), "Setup");
    std::string text = MessageBoxText(box);
    ClickButton(box, IDOK);
    WaitForWindowGone(box, kTimeoutMs);
    return text;
  }

  // Every installation ends in one message: returns its text once it is answered and the
  // program has ended, keeping screenshots of the progress dialog and the message when named.
  std::string FinishInstall(const char* screenshot = nullptr) {
    HWND progress = WaitForDialog(m_process.Id(), "Extracting files...", kTimeoutMs);
    HWND box = progress ? WaitForMessageBox(m_process.Id(), progress, kTimeoutMs) : nullptr;
    if (!box)
      return "<no message>";
    EXPECT_EQ(WindowText(box), "setup");
    if (screenshot) {
      KeepScreenshot(progress, std::string(screenshot) + "-progress");
      KeepScreenshot(box, screenshot);
    }
    std::string text = MessageBoxText(box);
    ClickButton(box, IDOK);
    EXPECT_TRUE(m_process.WaitForExit(kTimeoutMs));
    return text;
  }

  // Types location into the main dialog, presses Install and returns the closing message.
  std::string InstallInto(const std::string& location) {
    HWND dialog = Start();
    if (!dialog || !SetItemText(dialog, IDC_LOCATION, location.c_str()) ||
        !ClickButton(dialog, IDOK))
      return "<no main dialog>";
    return FinishInstall();
  }

  void ExpectInstalled(const std::string& location) {
    for (size_t i = 0; i < m_files.size(); ++i) {
      std::string path = location + "\\" + m_files[i].first;
      EXPECT_EQ(ReadWholeFile(path), m_files[i].second) << path;
      char logged[300];
      ReadProfileString("files", ("file" + std::to_string(i)).c_str(), "", logged, sizeof logged,
                        (location + "\\uninstall.ini").c_str());
      EXPECT_EQ(logged, path);
    }
  }

  ScratchFolder m_scratch;
  std::string m_dist = m_scratch.Join("dist");
  std::string m_dest = m_scratch.Join("Installed App");
  const std::vector<std::pair<std::string, std::string>> m_files = {
      {"app.exe", "MZ demo"}, {"doc\\readme.txt", "read me"}, {"doc\\license.txt", "free"}};
  CDrivenProcess m_process;
};

TEST_F(SetupTest, InstallsIntoTheTypedFolder) {
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_LOCATION), "C:\\Program Files\\E2E App");
  KeepScreenshot(dialog, "main-dialog");
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall("install-completed"), "Install completed!");
  ExpectInstalled(m_dest);
}

// A publisher's first product goes into a folder whose parent is new too: the log still starts as
// the template.
TEST_F(SetupTest, LocationWhoseParentIsNewGetsTheTemplate) {
  std::string location = m_scratch.Join("Publisher\\Product");
  EXPECT_EQ(InstallInto(location), "Install completed!");
  ExpectInstalled(location);
  char name[64];
  ReadProfileString("product", "name", "<none>", name, sizeof name,
                    (location + "\\uninstall.ini").c_str());
  EXPECT_STREQ(name, "E2E");
}

TEST_F(SetupTest, ShortLocationAndMissingSpaceAreRefusedUntilCorrected) {
  WriteSetupIni(2147483647);
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, "C:"));
  EXPECT_EQ(InstallRefused(dialog), "Location not available! ");
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  EXPECT_EQ(InstallRefused(dialog),
            "Free disk space not enough,requires at least 2147483647M of disk space!");
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_FALSE(platform::FolderExists(m_dest.c_str()));
  // needspace is read on every press, so a corrected setup.ini lets the same dialog go on.
  WriteSetupIni(1);
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall(), "Install completed!");
  ExpectInstalled(m_dest);
}

TEST_F(SetupTest, CancelEndsWithoutTouchingAnything) {
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
  EXPECT_FALSE(platform::FolderExists(m_dest.c_str()));
}

TEST_F(SetupTest, TrailingBackslashReachesTheInstallUnchanged) {
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  std::string typed = m_dest + "\\";
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, typed.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall(), "Install completed!");
  char logged[300];
  ReadProfileString("files", "file0", "", logged, sizeof logged,
                    (m_dest + "\\uninstall.ini").c_str());
  EXPECT_EQ(std::string(logged), typed + "\\app.exe");
  EXPECT_EQ(ReadWholeFile(m_dest + "\\app.exe"), "MZ demo");
}

TEST_F(SetupTest, WithoutSetupIniTheDialogStartsEmptyAndStillInstalls) {
  ASSERT_TRUE(platform::RemoveFile((m_dist + "\\setup.ini").c_str()));
  HWND dialog = Start("");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ItemText(dialog, IDC_LOCATION), "");
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall(), "Install completed!");
  ExpectInstalled(m_dest);
}

TEST_F(SetupTest, MissingPackageIsReportedAfterInstall) {
  ASSERT_TRUE(platform::RemoveFile((m_dist + "\\data.pak").c_str()));
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall("pack-file-open-failed"), "pack file open failed!");
}

// A folder that cannot be made (here below a file; for a standard user, in Program Files) ends
// in a message that says so, never in a plain success.
TEST_F(SetupTest, FolderThatCannotBeWrittenIsReported) {
  ASSERT_TRUE(WriteWholeFile(m_scratch.Join("blocker"), "a file, not a folder"));
  std::string location = m_scratch.Join("blocker\\App");
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, location.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  std::string text = FinishInstall("cannot-write-folder");
  EXPECT_EQ(text.find("Install not completed!"), 0u) << text;
  EXPECT_NE(text.find(location + "\\app.exe"), std::string::npos) << text;
}

// The log is the only record of what to remove: one that cannot be written is named, with the
// reason, even though every file installs.
TEST_F(SetupTest, LogThatCannotBeWrittenIsReported) {
  ASSERT_TRUE(platform::CreateFolder(m_dest.c_str()));
  std::string log = m_dest + "\\uninstall.ini";
  ASSERT_TRUE(platform::CreateFolder(log.c_str()));
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  EXPECT_EQ(FinishInstall("log-not-written"),
            "Install completed! There are problems at write uninstall log:\r\n" + log + "\r\n(" +
                platform::ErrorText(ERROR_ACCESS_DENIED) + ")");
  for (const auto& file : m_files)
    EXPECT_EQ(ReadWholeFile(m_dest + "\\" + file.first), file.second);
}

TEST_F(SetupTest, ProgramGroupAndShortcutsAreMadeAndLoggedAfterTheFiles) {
  std::string group = "E2E Group " + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(
      WriteWholeFile(m_dist + "\\setup.ini",
                     "[main]\r\ntitle=E2E Setup\r\ntotalfiles=3\r\n[shortcut]\r\ngroup=" + group +
                         "\r\nitemnum=2\r\nitem0FileName=app.exe\r\nitem0Desc=E2E App\r\n"
                         "item1FileName=doc\\readme.txt\r\nitem1Desc=E2E Read Me\r\n"
                         "item1Desktop=1\r\n"));
  EXPECT_EQ(InstallInto(m_dest), "Install completed!");
  ExpectInstalled(m_dest);

  std::string groupFolder = ShellFolder("Programs") + "\\" + group;
  std::string desktop = ShellFolder("Desktop");
  const std::string expected[] = {groupFolder, groupFolder + "\\E2E App.lnk",
                                  groupFolder + "\\E2E Read Me.lnk", desktop + "\\E2E Read Me.lnk"};
  std::string log = m_dest + "\\uninstall.ini";
  char value[300];
  for (int i = 0; i < 4; ++i) {
    ReadProfileString("files", ("file" + std::to_string(i + 3)).c_str(), "", value, sizeof value,
                      log.c_str());
    EXPECT_EQ(value, expected[i]);
  }
  ReadProfileString("files", "filenum", "", value, sizeof value, log.c_str());
  EXPECT_STREQ(value, "7");
  for (int i = 1; i < 4; ++i) {
    EXPECT_TRUE(platform::FileExists(expected[i].c_str())) << expected[i];
    platform::RemoveFile(expected[i].c_str());
  }
  platform::RemoveFolder(groupFolder.c_str());
}

TEST_F(SetupTest, GroupThatCannotBeMadeIsReportedAsAShortcutProblem) {
  // Only one folder level is made, so a group below a missing folder cannot exist.
  ASSERT_TRUE(WriteWholeFile(m_dist + "\\setup.ini",
                             "[main]\r\ntitle=E2E Setup\r\n[shortcut]\r\ngroup=Missing " +
                                 std::to_string(GetCurrentProcessId()) +
                                 "\\Group\r\nitemnum=1\r\nitem0FileName=app.exe\r\n"));
  EXPECT_EQ(InstallInto(m_dest), "Install completed! There are problems at create shortcut.");
  ExpectInstalled(m_dest);
}

// A file another program holds, in an installation run again: one open without sharing, and a
// running program, which Windows lets be opened for deletion and then refuses to delete. The
// question names the file, Try Again after the holder lets go installs it, and Continue keeps the
// old file and names it at the end. Wine's Restart Manager names no program.
TEST_F(SetupTest, FileInUseIsAskedAboutThenTriedAgainOrKept) {
  // setup.exe itself, installed as tool.exe, is the running program.
  std::string program = ReadWholeFile((GetModuleDir() + "setup.exe").str());
  std::string package;
  for (const auto& file : m_files)
    package += MemberBytes(file.first, file.second);
  ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package + MemberBytes("tool.exe", program)));
  ASSERT_EQ(InstallInto(m_dest), "Install completed!");
  struct Row {
    const char* member;
    bool running;  // held by running it, else by a handle that shares nothing
    int answer;
    bool letGo;  // the holder lets go before the answer
    bool completed;
    std::string bytes;  // the file's afterwards
  } rows[] = {
      {"doc\\readme.txt", false, IDTRYAGAIN, true, true, "read me"},
      {"doc\\readme.txt", false, IDCONTINUE, false, false, "old"},
      {"tool.exe", true, IDTRYAGAIN, true, true, program},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.member) + " " + std::to_string(row.answer));
    std::string held = m_dest + "\\" + row.member;
    platform::CHandle handle;
    CDrivenProcess running;
    HWND runningDialog = nullptr;
    if (row.running) {
      ASSERT_TRUE(running.Start(held, ""));
      runningDialog = WaitForDialog(running.Id(), nullptr, kTimeoutMs);
      ASSERT_NE(runningDialog, nullptr);
    } else {
      ASSERT_TRUE(WriteWholeFile(held, "old"));
      handle.Reset(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(handle);
    }
    HWND dialog = Start();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    HWND progress = WaitForDialog(m_process.Id(), "Extracting files...", kTimeoutMs);
    HWND box = progress ? WaitForMessageBox(m_process.Id(), progress, kTimeoutMs) : nullptr;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(box), "setup");
    EXPECT_EQ(MessageBoxText(box),
              "This file is in use by another program and cannot be replaced:\r\n" + held +
                  "\r\n\r\nWindows cannot say which program is using it.\r\n\r\nClose the "
                  "program and click Try Again. Continue keeps the old file; Cancel stops setup.");
    if (row.letGo && !row.running)
      KeepScreenshot(box, "file-in-use");
    if (row.letGo) {
      handle.Reset();
      if (row.running) {
        ASSERT_TRUE(ClickButton(runningDialog, IDCANCEL));
        ASSERT_TRUE(running.WaitForExit(kTimeoutMs));
      }
    }
    ASSERT_TRUE(ClickButton(box, row.answer));
    ASSERT_TRUE(WaitForWindowGone(box, kTimeoutMs));
    EXPECT_EQ(FinishInstall(),
              row.completed ? "Install completed!"
                            : "Install not completed! There are problems at extract file:\r\n" +
                                  held + "\r\n(the file is in use by another program)");
    handle.Reset();
    EXPECT_TRUE(ReadWholeFile(held) == row.bytes) << held;
    EXPECT_EQ(ReadWholeFile(m_dest + "\\doc\\license.txt"), "free");
  }
}

// A shortcut's target and working folder, as the shell reads them back.
bool ReadLink(const std::string& file, std::string* target, std::string* workingFolder) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  IPersistFile* persist = nullptr;
  WCHAR wide[MAX_PATH];
  char text[2][MAX_PATH] = {};
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkA, reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
            MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) != 0 &&
            SUCCEEDED(persist->Load(wide, STGM_READ)) &&
            SUCCEEDED(link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetWorkingDirectory(text[1], MAX_PATH));
  *target = text[0];
  *workingFolder = text[1];
  if (persist)
    persist->Release();
  if (link)
    link->Release();
  return ok;
}

// On Japanese Windows the folder name 表 is the bytes 95 5C: a folder ending in it ends in no
// backslash, and everything goes inside it. Its own CTest entry runs it with a Japanese locale,
// which gives Wine the code page 932.
TEST_F(SetupTest, CodePage932FolderEndingInHyoHoldsEverything) {
  if (GetACP() != 932)
    GTEST_SKIP() << "needs code page 932 (a Japanese locale), not " << GetACP();
  std::string location = m_scratch.Join("App \x95\x5c");
  std::string group = "E2E 932 " + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(
      WriteWholeFile(m_dist + "\\setup.ini",
                     "[main]\r\ntitle=E2E Setup\r\ntotalfiles=3\r\n[shortcut]\r\ngroup=" + group +
                         "\r\nitemnum=1\r\nitem0FileName=app.exe\r\nitem0Desc=E2E App\r\n"));
  EXPECT_EQ(InstallInto(location), "Install completed!");
  ExpectInstalled(location);
  std::vector<platform::FolderEntry> beside;
  ASSERT_TRUE(platform::ListFolder(m_scratch.path().c_str(), &beside));
  EXPECT_EQ(beside.size(), 2u);  // dist and the install folder, nothing cut from its name

  std::string groupFolder = ShellFolder("Programs") + "\\" + group;
  std::string link = groupFolder + "\\E2E App.lnk";
  std::string target;
  std::string workingFolder;
  EXPECT_TRUE(ReadLink(link, &target, &workingFolder)) << link;
  EXPECT_EQ(target, location + "\\app.exe");
  EXPECT_EQ(workingFolder, location);
  platform::RemoveFile(link.c_str());
  platform::RemoveFolder(groupFolder.c_str());
}

const ::testing::Environment* const g_keepDesktop =
    ::testing::AddGlobalTestEnvironment(new KeepDesktop);

}  // namespace
