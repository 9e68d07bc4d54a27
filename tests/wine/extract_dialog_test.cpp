// The progress dialog and its worker for real, under the window system: a host program runs the
// dialog from a distribution folder, and these tests watch and answer it as a user would.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "tests/unit/pack_fixtures.h"
#include "tests/unit/test_support.h"
#include "tests/wine/keep_desktop.h"
#include "tests/wine/ui_driver.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

class ExtractDialogTest : public ::testing::Test {
 protected:
  // A distribution folder: the host program, data.pak with files of the given size, setup.ini
  // with the number of files the bar is set for (by default, the number in the package).
  void MakeDistribution(int files, size_t fileSize, bool withPackage = true, int totalFiles = -1,
                        const std::string& hostSettings = "") {
    ASSERT_TRUE(platform::CreateFolder(m_dist.c_str()));
    ASSERT_TRUE(platform::CopyFileReplacing(GetModuleDir() + "extract_host.exe", m_host.c_str()));
    std::string package;
    for (int i = 0; i < files; ++i) {
      std::string name = "sub\\file" + std::to_string(i) + ".bin";
      m_names.push_back(name);
      package += MemberBytes(name, std::string(fileSize, static_cast<char>('a' + i % 26)), 0);
    }
    if (withPackage) {
      ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package));
    }
    ASSERT_TRUE(WriteWholeFile(
        m_dist + "\\setup.ini",
        "[main]\r\ntotalfiles=" + std::to_string(totalFiles < 0 ? files : totalFiles) + "\r\n" +
            hostSettings));
    ASSERT_TRUE(WriteWholeFile(m_dist + "\\uninstall.ini", "[product]\r\nname=Test\r\n"));
  }

  HWND StartDialog() {
    EXPECT_TRUE(m_process.Start(m_host, m_location));
    HWND dialog = WaitForDialog(m_process.Id(), "Extracting files...", kTimeoutMs);
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }

  std::string LogValue(const std::string& key) {
    char buffer[300];
    ReadProfileString("files", key.c_str(), "<none>", buffer, sizeof buffer,
                      (m_location + "\\uninstall.ini").c_str());
    return buffer;
  }

  ScratchFolder m_scratch;
  std::string m_dist = m_scratch.Join("dist");
  std::string m_host = m_dist + "\\setup-host.exe";
  std::string m_location = m_scratch.Join("Program Folder");
  std::vector<std::string> m_names;
  CDrivenProcess m_process;
};

TEST_F(ExtractDialogTest, InstallsThePackageAndCloses) {
  MakeDistribution(20, 1000);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  // The worker waits on its completion message before it closes the dialog.
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Install completed!");
  EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), 20);
  EXPECT_EQ(ItemText(dialog, IDC_DEST_FILE), m_location + "\\" + m_names.back());
  ASSERT_TRUE(ClickButton(box, IDOK));
  DWORD code = 1;
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
  for (size_t i = 0; i < m_names.size(); ++i) {
    std::string path = m_location + "\\" + m_names[i];
    EXPECT_EQ(ReadWholeFile(path).size(), 1000u) << path;
    EXPECT_EQ(LogValue("file" + std::to_string(i)), path);
  }
  // The template was copied in first, and its content stays.
  char name[64];
  ReadProfileString("product", "name", "", name, sizeof name,
                    (m_location + "\\uninstall.ini").c_str());
  EXPECT_STREQ(name, "Test");
}

// Where this system's progress bar, set as the dialog sets it, stands after that many single
// steps: past its maximum it starts over.
int PositionAfterSteps(int maximum, int steps) {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&init);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  if (!bar)
    return -1;
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  for (int i = 0; i < steps; ++i)
    SendMessageA(bar, PBM_STEPIT, 0, 0);
  int position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
  DestroyWindow(bar);
  return position;
}

// Files come faster than the window refreshes, so many steps are shown at once; they must leave
// the bar exactly where a step per file would, also when it has wrapped around.
TEST_F(ExtractDialogTest, MoreFilesThanTheBarHoldsEndWhereAStepPerFileWould) {
  MakeDistribution(61, 100, true, 7);
  int expected = PositionAfterSteps(7, 61);
  ASSERT_GE(expected, 0);
  ASSERT_NE(expected, 7);  // a wrapped bar, not one stopped at its end
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Install completed!");
  EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), expected);
  EXPECT_EQ(ItemText(dialog, IDC_DEST_FILE), m_location + "\\" + m_names.back());
  ASSERT_TRUE(ClickButton(box, IDOK));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
}

// The host's dialog that ignores its refresh timer: what it shows comes only from the flushes.
constexpr char kIgnoreTicks[] = "[host]\r\nignoreticks=1\r\n";

TEST_F(ExtractDialogTest, CompletionMessageComesAfterTheFinalBarAndPathAreShown) {
  MakeDistribution(20, 100, true, -1, kIgnoreTicks);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), 20);
  EXPECT_EQ(ItemText(dialog, IDC_DEST_FILE), m_location + "\\" + m_names.back());
  ASSERT_TRUE(ClickButton(box, IDOK));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
}

// A Cancel that reaches the dialog only as the final message opens (pressed a moment before,
// taken from the queue by the message's own loop) comes too late: nothing is asked, and the
// button is grey by then.
TEST_F(ExtractDialogTest, CancelAtTheEndAsksNothing) {
  MakeDistribution(20, 100);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(MessageBoxText(box), "Install completed!");
  HWND cancel = GetDlgItem(dialog, IDCANCEL);
  ASSERT_TRUE(PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                           reinterpret_cast<LPARAM>(cancel)));
  Sleep(300);
  EXPECT_FALSE(IsWindowEnabled(cancel));
  ASSERT_TRUE(ClickButton(box, IDOK));
  // A question would keep the program open.
  EXPECT_TRUE(m_process.WaitForExit(5000));
}

TEST_F(ExtractDialogTest, WhatWasRecordedDuringTheQuestionIsShownOnceItIsAnswered) {
  MakeDistribution(200, 256 * 1024, true, -1, kIgnoreTicks);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  DWORD start = GetTickCount();
  while (LogValue("file1") == "<none>" && GetTickCount() - start < kTimeoutMs)
    Sleep(10);
  ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
  HWND question = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), 0);
  ASSERT_TRUE(ClickButton(question, kIdNo));
  ASSERT_TRUE(WaitForWindowGone(question, kTimeoutMs));
  // The dialog answers this read only once it is back in its loop, after it showed the lot.
  EXPECT_GT(ProgressPosition(dialog, IDC_PROGRESS), 0);
  EXPECT_EQ(ItemText(dialog, IDC_DEST_FILE).find(m_location + "\\sub\\file"), 0u);

  ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
  question = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ClickButton(question, kIdYes));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
}

TEST_F(ExtractDialogTest, CancelAnsweredNoGoesOnAndYesStops) {
  MakeDistribution(400, 256 * 1024);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  while (ProgressPosition(dialog, IDC_PROGRESS) < 2)
    Sleep(10);

  // The close box asks the same question as the Cancel button.
  ASSERT_TRUE(PostMessageA(dialog, WM_CLOSE, 0, 0));
  HWND question = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(WindowText(question), "setup");
  EXPECT_EQ(MessageBoxText(question), "Cancel setup?");
  KeepScreenshot(dialog, "progress-dialog");
  KeepScreenshot(question, "cancel-question");
  // While the question is open the worker stands still.
  int before = ProgressPosition(dialog, IDC_PROGRESS);
  std::string shown = ItemText(dialog, IDC_DEST_FILE);
  Sleep(500);
  EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), before);
  EXPECT_EQ(ItemText(dialog, IDC_DEST_FILE), shown);
  EXPECT_EQ(shown.find(m_location + "\\sub\\file"), 0u) << shown;
  ASSERT_TRUE(ClickButton(question, kIdNo));
  ASSERT_TRUE(WaitForWindowGone(question, kTimeoutMs));
  DWORD start = GetTickCount();
  while (ProgressPosition(dialog, IDC_PROGRESS) <= before && GetTickCount() - start < kTimeoutMs)
    Sleep(10);
  EXPECT_GT(ProgressPosition(dialog, IDC_PROGRESS), before);

  ASSERT_TRUE(ClickButton(dialog, IDCANCEL));
  question = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ClickButton(question, kIdYes));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));

  // Everything logged was installed, nothing after it, and no staged archive stays behind.
  int logged = 0;
  while (LogValue("file" + std::to_string(logged)) != "<none>")
    ++logged;
  EXPECT_GT(logged, 0);
  EXPECT_LT(logged, 400);
  EXPECT_EQ(LogValue("filenum"), "<none>");
  for (int i = 0; i < 400; ++i) {
    std::string path = m_location + "\\" + m_names[i];
    EXPECT_EQ(platform::FileExists(path.c_str()), i < logged) << path;
    EXPECT_FALSE(platform::FileExists((path + ".zip").c_str())) << path;
  }
}

TEST_F(ExtractDialogTest, MissingPackageIsReported) {
  MakeDistribution(0, 0, false);
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), "setup");
  EXPECT_EQ(MessageBoxText(box), "pack file open failed!");
  ASSERT_TRUE(ClickButton(box, IDOK));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
  // The folder and the template copy were made before the worker started.
  EXPECT_TRUE(platform::FileExists((m_location + "\\uninstall.ini").c_str()));
  EXPECT_EQ(LogValue("file0"), "<none>");
}

const ::testing::Environment* const g_keepDesktop =
    ::testing::AddGlobalTestEnvironment(new KeepDesktop);

TEST_F(ExtractDialogTest, DamagedPackageIsNotReportedAsCompleted) {
  MakeDistribution(0, 0, false);
  std::string package = MemberBytes("ok.txt", "fine") +
                        MemberBytes("cut.bin", std::string(5000, 'c'), 0).substr(0, 300);
  ASSERT_TRUE(WriteWholeFile(m_dist + "\\data.pak", package));
  HWND dialog = StartDialog();
  ASSERT_NE(dialog, nullptr);
  HWND box = WaitForMessageBox(m_process.Id(), dialog, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  std::string text = MessageBoxText(box);
  EXPECT_EQ(text.find("Install not completed!"), 0u) << text;
  EXPECT_NE(text.find(m_location + "\\cut.bin"), std::string::npos) << text;
  KeepScreenshot(box, "damaged-package");
  ASSERT_TRUE(ClickButton(box, IDOK));
  ASSERT_TRUE(m_process.WaitForExit(kTimeoutMs));
  EXPECT_EQ(ReadWholeFile(m_location + "\\ok.txt"), "fine");
}

}  // namespace
