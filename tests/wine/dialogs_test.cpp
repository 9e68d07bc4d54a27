// Every dialog of setup.exe and uninstall.exe at the display scales laptops run (100 % to 200 %),
// with nothing clipped or overlapping, the picture filling its area, and a screenshot of each;
// then one installation and its removal driven by keys alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/setup_config.h"
#include "res/resource.h"
#include "tests/unit/test_support.h"
#include "tests/wine/keep_desktop.h"
#include "tests/wine/ui_driver.h"
#include "tools/dist_build.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr int kBaseDpi = 96;
// face.bmp as demo/make_face.py draws it: made for the main dialog's picture area at 96 DPI.
constexpr int kFaceWidth = 384;
constexpr int kFaceHeight = 151;

// Windows reads the scale when a program starts (Wine from this value).
void SetDisplayDpi(DWORD dpi) {
  RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi,
                  sizeof dpi);
}

RECT ScreenRect(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return rect;
}

struct Control {
  HWND window;
  std::string name;
};

std::vector<Control> Controls(HWND dialog) {
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child))
      continue;
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    controls.push_back({child, std::string(className) + " " + std::to_string(GetDlgCtrlID(child)) +
                                   " '" + WindowText(child) + "'"});
  }
  return controls;
}

// The dialog font, "MS Sans Serif" 8 points, as a dialog at dpi realizes it.
class DialogFont {
 public:
  explicit DialogFont(int dpi)
      : m_font(CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                           0, 0, "MS Sans Serif")),
        m_dc(CreateCompatibleDC(nullptr)) {
    m_old = SelectObject(m_dc, m_font);
  }
  ~DialogFont() {
    SelectObject(m_dc, m_old);
    DeleteDC(m_dc);
    DeleteObject(m_font);
  }
  SIZE Extent(const std::string& text) const {
    SIZE size = {};
    // Mnemonic ampersands are not drawn.
    std::string shown;
    for (char c : text) {
      if (c != '&')
        shown += c;
    }
    GetTextExtentPoint32A(m_dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    return size;
  }

 private:
  HFONT m_font;
  HDC m_dc;
  HGDIOBJ m_old;
};

// No control reaches past the dialog's client area or into another, and every fixed text (all
// but the ones named in changing) fits its control in the dialog's font.
void ExpectLaidOut(HWND dialog, int dpi, const std::vector<int>& changing = {}) {
  RECT client;
  GetClientRect(dialog, &client);
  MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
  std::vector<Control> controls = Controls(dialog);
  ASSERT_FALSE(controls.empty());
  DialogFont font(dpi);
  for (size_t i = 0; i < controls.size(); ++i) {
    RECT rect = ScreenRect(controls[i].window);
    RECT inside;
    IntersectRect(&inside, &rect, &client);
    EXPECT_TRUE(EqualRect(&inside, &rect)) << controls[i].name << " is clipped by the dialog";
    for (size_t j = i + 1; j < controls.size(); ++j) {
      RECT other = ScreenRect(controls[j].window);
      RECT both;
      EXPECT_FALSE(IntersectRect(&both, &rect, &other))
          << controls[i].name << " overlaps " << controls[j].name;
    }
    char className[64] = "";
    GetClassNameA(controls[i].window, className, sizeof className);
    bool textual = strcmp(className, "Static") == 0 || strcmp(className, "Button") == 0;
    std::string text = WindowText(controls[i].window);
    int id = GetDlgCtrlID(controls[i].window);
    if (!textual || text.empty() ||
        std::find(changing.begin(), changing.end(), id) != changing.end())
      continue;
    SIZE needed = font.Extent(text);
    // A button's frame takes a few pixels of its width.
    int margin = strcmp(className, "Button") == 0 ? 2 * GetSystemMetrics(SM_CXEDGE) : 0;
    EXPECT_LE(needed.cx + margin, rect.right - rect.left) << controls[i].name << " is cut";
    EXPECT_LE(needed.cy, rect.bottom - rect.top) << controls[i].name << " is cut";
  }
}

class DialogsTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    for (const char* folder : {"payload", "payload\\doc"})
      ASSERT_TRUE(platform::CreateFolder(m_scratch.Join(folder).c_str()));
    // Enough files that the progress dialog stays up while its question is asked.
    for (int i = 0; i < 200; ++i)
      ASSERT_TRUE(WriteWholeFile(m_scratch.Join("payload\\doc\\part" + std::to_string(i) + ".txt"),
                                 std::string(64 * 1024, static_cast<char>('a' + i % 26))));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("payload\\app.exe"), "app"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("uninstall.ini"), "[uninstall]\r\ntitle=Scaled\r\n"));
    ASSERT_TRUE(WriteWholeFile(m_scratch.Join("setup.ini"),
                               "[main]\r\ntitle=Scaled Setup\r\nlocation=C:\\Scaled\r\n"
                               "[shortcut]\r\ngroup=" +
                                   m_group + "\r\nitemnum=0\r\n"));
    DistInputs inputs;
    inputs.payload = m_scratch.Join("payload");
    inputs.out = m_dist;
    inputs.ini = m_scratch.Join("setup.ini");
    inputs.face = GetModuleDir().str() + "face.bmp";
    inputs.uninstallTemplate = m_scratch.Join("uninstall.ini");
    DistSummary summary;
    std::string error;
    ASSERT_TRUE(BuildDistribution(inputs, &summary, &error)) << error;
  }

  void TearDown() override {
    SetDisplayDpi(kBaseDpi);
    platform::RemoveTree((ShellFolder("Programs") + "\\" + m_group).c_str());
  }

  // The main dialog, started at dpi.
  HWND StartSetup(int dpi) {
    SetDisplayDpi(dpi);
    EXPECT_TRUE(m_setup.Start(m_dist + "\\setup.exe", ""));
    HWND main = WaitForDialog(m_setup.Id(), "Scaled Setup", kTimeoutMs);
    EXPECT_NE(main, nullptr);
    return main;
  }

  // The message box of process that is not except, its text checked, kept as a screenshot and
  // answered with button.
  void Answer(DWORD process, HWND except, const std::string& text, const std::string& shot,
              int button) {
    HWND box = WaitForMessageBox(process, except, kTimeoutMs);
    ASSERT_NE(box, nullptr) << text;
    EXPECT_EQ(MessageBoxText(box).find(text), 0u) << MessageBoxText(box);
    if (!shot.empty())
      KeepScreenshot(box, shot);
    ASSERT_TRUE(ClickButton(box, button));
    ASSERT_TRUE(WaitForWindowGone(box, kTimeoutMs));
  }

  ScratchFolder m_scratch;
  std::string m_dist = m_scratch.Join("dist");
  std::string m_dest = m_scratch.Join("Scaled App");
  std::string m_group = "Scaled " + std::to_string(GetCurrentProcessId());
  CDrivenProcess m_setup;
};

TEST_P(DialogsTest, EveryDialogFitsAndThePictureFillsItsArea) {
  const int dpi = GetParam();
  const std::string at = "-" + std::to_string(dpi) + "dpi";
  HWND main = StartSetup(dpi);
  ASSERT_NE(main, nullptr);
  ExpectLaidOut(main, dpi);
  // The picture at its own size times the scale.
  RECT picture = ScreenRect(GetDlgItem(main, IDC_PICTURE));
  EXPECT_EQ(picture.right - picture.left, MulDiv(kFaceWidth, dpi, kBaseDpi));
  EXPECT_EQ(picture.bottom - picture.top, MulDiv(kFaceHeight, dpi, kBaseDpi));
  KeepScreenshot(main, "main" + at);

  // The folder browser is the system's: only its picture is kept.
  ASSERT_TRUE(ClickButton(main, IDC_BROWSE));
  HWND browser = WaitForMessageBox(m_setup.Id(), main, kTimeoutMs);
  ASSERT_NE(browser, nullptr);
  KeepScreenshot(browser, "browser" + at);
  ASSERT_TRUE(ClickButton(browser, IDCANCEL));
  ASSERT_TRUE(WaitForWindowGone(browser, kTimeoutMs));

  ASSERT_TRUE(SetItemText(main, IDC_LOCATION, "C:"));
  ASSERT_TRUE(ClickButton(main, IDOK));
  Answer(m_setup.Id(), main, "Location not available!", "location-refused" + at, IDOK);

  ASSERT_TRUE(SetItemText(main, IDC_LOCATION, m_dest.c_str()));
  ASSERT_TRUE(ClickButton(main, IDOK));
  HWND progress = WaitForDialog(m_setup.Id(), "Extracting files...", kTimeoutMs);
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(PostMessageA(progress, WM_CLOSE, 0, 0));
  HWND question = WaitForMessageBox(m_setup.Id(), progress, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  ExpectLaidOut(progress, dpi, {IDC_DEST_FILE});
  KeepScreenshot(progress, "progress" + at);
  EXPECT_EQ(MessageBoxText(question), "Cancel setup?");
  KeepScreenshot(question, "cancel-question" + at);
  ASSERT_TRUE(ClickButton(question, IDNO));
  ASSERT_TRUE(WaitForWindowGone(question, kTimeoutMs));
  Answer(m_setup.Id(), progress, "Install completed!", "completed" + at, IDOK);
  ASSERT_TRUE(m_setup.WaitForExit(kTimeoutMs));

  CDrivenProcess uninstaller;
  ASSERT_TRUE(uninstaller.Start(m_dest + "\\uninstall.exe", ""));
  Answer(uninstaller.Id(), nullptr, "Remove Scaled", "uninstall-question" + at, IDYES);
  ASSERT_TRUE(uninstaller.WaitForExit(kTimeoutMs));
  // The removal runs in the uninstaller's copy; its progress shows while there is much to do.
  if (HWND removing = WaitForDialog(0, "Removing files...", 2000)) {
    ExpectLaidOut(removing, dpi, {IDC_DEST_FILE});
    KeepScreenshot(removing, "removing" + at);
  }
  // By caption: the progress dialog stays up behind its final message.
  HWND done = WaitForDialog(0, "Uninstall", kTimeoutMs);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(MessageBoxText(done), "Uninstall completed!");
  KeepScreenshot(done, "uninstall-completed" + at);
  ASSERT_TRUE(ClickButton(done, IDOK));
  ASSERT_TRUE(WaitForWindowGone(done, kTimeoutMs));
  EXPECT_FALSE(platform::FolderExists(m_dest.c_str()));
}

INSTANTIATE_TEST_SUITE_P(Scales, DialogsTest, ::testing::Values(96, 120, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "dpi";
                         });

// Every dialog by keys alone, posted so that they pass through each modal loop's
// IsDialogMessage: Tab in template order, the mnemonics, Enter on the default button, Escape
// where Cancel would be.
using KeyboardTest = DialogsTest;

// Polls until the control with the keyboard focus in dialog's thread is id's.
bool FocusReaches(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(20)) {
    if (FocusOf(dialog) == control)
      return true;
  }
  return false;
}

bool TextReaches(HWND dialog, int id, const std::string& text) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kTimeoutMs; Sleep(20)) {
    if (ItemText(dialog, id) == text)
      return true;
  }
  return ItemText(dialog, id) == text;
}

TEST_F(KeyboardTest, OneInstallationAndItsRemovalByKeys) {
  // Alt+I on a location too short, then Escape: nothing is installed.
  HWND main = StartSetup(kBaseDpi);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(FocusReaches(main, IDOK));  // the first tab stop
  ASSERT_TRUE(PressKey(main, VK_TAB));
  ASSERT_TRUE(FocusReaches(main, IDCANCEL));
  ASSERT_TRUE(PressKey(main, VK_TAB));
  ASSERT_TRUE(FocusReaches(main, IDC_LOCATION));
  // Tabbing into the field selects its text: typing replaces it.
  ASSERT_TRUE(TypeChars(main, "C:"));
  ASSERT_TRUE(TextReaches(main, IDC_LOCATION, "C:"));
  ASSERT_TRUE(PressAltLetter(main, 'i'));
  HWND box = WaitForMessageBox(m_setup.Id(), main, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Location not available! ");
  ASSERT_TRUE(PressKey(box, VK_RETURN));
  ASSERT_TRUE(WaitForWindowGone(box, kTimeoutMs));
  ASSERT_TRUE(PressKey(main, VK_ESCAPE));
  ASSERT_TRUE(m_setup.WaitForExit(kTimeoutMs));
  EXPECT_FALSE(platform::FolderExists(m_dest.c_str()));

  // Alt+B opens the browser and Escape closes it; the folder typed, Enter installs.
  main = StartSetup(kBaseDpi);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(FocusReaches(main, IDOK));
  ASSERT_TRUE(PressAltLetter(main, 'b'));
  HWND browser = WaitForMessageBox(m_setup.Id(), main, kTimeoutMs);
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(PressKey(browser, VK_ESCAPE));
  ASSERT_TRUE(WaitForWindowGone(browser, kTimeoutMs));
  // The button that opened the browser has the focus again: Browse, then Install, Cancel.
  for (int tabs = 0; tabs < 4 && FocusOf(main) != GetDlgItem(main, IDC_LOCATION); ++tabs) {
    ASSERT_TRUE(PressKey(main, VK_TAB));
    Sleep(100);
  }
  ASSERT_TRUE(FocusReaches(main, IDC_LOCATION));
  ASSERT_TRUE(TypeChars(main, m_dest));
  ASSERT_TRUE(TextReaches(main, IDC_LOCATION, m_dest));
  ASSERT_TRUE(PressKey(main, VK_RETURN));
  HWND progress = WaitForDialog(m_setup.Id(), "Extracting files...", kTimeoutMs);
  ASSERT_NE(progress, nullptr);
  box = WaitForMessageBox(m_setup.Id(), progress, kTimeoutMs);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Install completed!");
  ASSERT_TRUE(PressKey(box, VK_RETURN));
  ASSERT_TRUE(m_setup.WaitForExit(kTimeoutMs));
  ASSERT_TRUE(platform::FileExists((m_dest + "\\app.exe").c_str()));

  // The uninstaller's question defaults to No: Y answers Yes; Enter closes the last message.
  CDrivenProcess uninstaller;
  ASSERT_TRUE(uninstaller.Start(m_dest + "\\uninstall.exe", ""));
  HWND question = WaitForMessageBox(uninstaller.Id(), nullptr, kTimeoutMs);
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(TypeChars(question, "y"));
  // The final message comes from the uninstaller's copy, under the question's caption.
  ASSERT_TRUE(WaitForWindowGone(question, kTimeoutMs));
  ASSERT_TRUE(uninstaller.WaitForExit(kTimeoutMs));
  HWND done = WaitForDialog(0, "Uninstall", kTimeoutMs);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(MessageBoxText(done), "Uninstall completed!");
  ASSERT_TRUE(PressKey(done, VK_RETURN));
  ASSERT_TRUE(WaitForWindowGone(done, kTimeoutMs));
  EXPECT_FALSE(platform::FolderExists(m_dest.c_str()));
}

// Window rectangles in pixels, whatever the scale the programs under test run at.
const bool g_dpiAware = SetProcessDPIAware() != 0;
const ::testing::Environment* const g_keepDesktop =
    ::testing::AddGlobalTestEnvironment(new KeepDesktop);

}  // namespace
