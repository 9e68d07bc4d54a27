// setup.exe from start to exit, driven through its windows as a user would: a distribution
// folder with setup.ini, data.pak, the log template and face.bmp, the main dialog, the checks
// behind Install, the progress dialog, and what ends up on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/profile.h"
#include "res/resource.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"
#include "tests/wine/keep_desktop.h"
#include "tests/wine/ui_driver.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;

std::string ProgramFolder() {
  std::string path = platform::ModuleFileName();
  return path.substr(0, path.rfind('\\') + 1);
}

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::CreateFolder(m_dist.c_str()));
    ASSERT_TRUE(platform::CopyFileReplacing((ProgramFolder() + "setup.exe").c_str(),
                                            (m_dist + "\\setup.exe").c_str()));
    std::string package;
    for (const auto& file : m_files)
      package += MemberBytes(file.first, file.second);
    ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package));
    ASSERT_TRUE(WriteWholeFile(m_dist + "\\uninstall.ini", "[product]\r\nname=E2E\r\n"));
    ASSERT_TRUE(platform::CopyFileReplacing((ProgramFolder() + "face.bmp").c_str(),
                                            (m_dist + "\\face.bmp").c_str()));
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
  HWND progress = WaitForDialog(m_process.Id(), "Extracting files...", 5000);
  if (progress)
    KeepScreenshot(progress, "setup-progress-dialog");
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
  ExpectInstalled(m_dest);
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
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
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
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
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
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
  ExpectInstalled(m_dest);
}

TEST_F(SetupTest, MissingPackageIsReportedAfterInstall) {
  ASSERT_TRUE(platform::RemoveFile((m_dist + "\\data.pak").c_str()));
  HWND dialog = Start();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetItemText(dialog, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(dialog, IDOK));
  HWND progress = WaitForDialog(m_process.Id(), "Extracting files...", kTimeoutMs);
  ASSERT_NE(progress, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), progress, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "pack file open failed!");
  KeepScreenshot(box, "pack-file-open-failed");
  ClickButton(box, IDOK);
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
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
  HWND progress = WaitForDialog(m_process.Id(), "Extracting files...", kTimeoutMs);
  ASSERT_NE(progress, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), progress, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  std::string text = MessageBoxText(box);
  EXPECT_EQ(text.find("Install not completed!"), 0u) << text;
  EXPECT_NE(text.find(location + "\\app.exe"), std::string::npos) << text;
  KeepScreenshot(box, "cannot-write-folder");
  ClickButton(box, IDOK);
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
}

const ::testing::Environment* const g_keepDesktop =
    ::testing::AddGlobalTestEnvironment(new KeepDesktop);

}  // namespace
