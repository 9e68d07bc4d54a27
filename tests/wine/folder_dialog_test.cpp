// The folder browser for real under Wine. The browser is modal on the thread that calls Browse,
// so each test browses on a thread of its own and works the browser from the main thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "res/resource.h"
#include "tests/wine/ui_driver.h"
#include "ui/folder_dialog.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;
constexpr const char* kTitle = "Please select a folder";
// Ids in the browser's template, as Wine's shell builds it.
constexpr int kTitleId = 0x3742;
constexpr int kStatusId = 0x3743;

template <typename Done>
bool WaitUntil(Done done) {
  for (DWORD start = GetTickCount(); !done(); Sleep(20)) {
    if (GetTickCount() - start > kTimeoutMs)
      return false;
  }
  return true;
}

// Notes in the search the first visible window of this process that shows its title.
BOOL CALLBACK FindBrowser(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<std::pair<const char*, HWND>*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
      (!find->first || ItemText(window, kTitleId) == find->first))
    find->second = window;
  return !find->second;
}

// The visible browser of this process that shows title above its tree (any title: null); null
// after the timeout.
HWND WaitForBrowser(const char* title) {
  std::pair<const char*, HWND> find(title, nullptr);
  WaitUntil([&] {
    EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&find));
    return find.second != nullptr;
  });
  return find.second;
}

// Its state open to the tests, and a hook that runs as the browser opens.
template <typename Base>
class Open : public Base {
 public:
  Open() : Base(nullptr, IDS_BROWSE_TITLE) {
    this->SetFlags(BIF_STATUSTEXT | BIF_RETURNONLYFSDIRS);
  }
  using Base::m_bi;
  using Base::m_hWndBrowser;
  void (*m_onInitialized)(Open*) = nullptr;

 protected:
  void OnInitialized() override {
    if (m_onInitialized)
      m_onInitialized(this);
    Base::OnInitialized();
  }
};

// The base browser alone, which selects and reports nothing by itself.
class PlainDialog : public CFolderDialog {
 public:
  PlainDialog(HWND owner, int titleId) : CFolderDialog(owner, nullptr, titleId) {}
};

using LocationDialog = Open<CLocationFolderDialog>;
using BaseDialog = Open<PlainDialog>;

// Browse() running on a thread of its own. Declared after the dialog, so that a failed check
// cancels the browser and ends the thread before the dialog goes away.
class Browsing {
 public:
  explicit Browsing(CFolderDialog* dialog, const char* title = kTitle)
      : m_thread([this, dialog] {
          m_result = dialog->Browse();
          m_done = true;
        }),
        m_window(WaitForBrowser(title)) {}
  ~Browsing() {
    if (!m_thread.joinable())
      return;
    ADD_FAILURE() << "the browser was left open";
    m_window = WaitForBrowser(nullptr);
    if (!m_window || !Press(IDCANCEL))
      TerminateProcess(GetCurrentProcess(), 3);  // a thread that cannot end would hang the test
  }

  // The browser, or null when it did not open.
  HWND Window() const { return m_window; }
  // Presses a button of the browser; true when Browse then returned.
  bool Press(int id) {
    if (!ClickButton(m_window, id) || !WaitUntil([&] { return m_done.load(); }))
      return false;
    m_thread.join();
    return true;
  }
  bool Result() const { return m_result; }

 private:
  std::atomic<bool> m_done{false};
  std::atomic<bool> m_result{false};
  std::thread m_thread;
  HWND m_window;
};

TEST(FolderDialogTest, OpensAtTheInitialFolderAndReturnsTheChosenOne) {
  LocationDialog dialog;
  dialog.SetInitialFolder("c:\\");
  Browsing browsing(&dialog);
  HWND browser = browsing.Window();
  ASSERT_NE(browser, nullptr);
  // The initial folder as given, not the selection's own spelling.
  EXPECT_EQ(ItemText(browser, kStatusId), "c:\\");
  // Each new selection shows its path.
  DWORD_PTR ignored;
  SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("c:\\windows"),
                      SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
  EXPECT_EQ(ItemText(browser, kStatusId), "C:\\windows");
  ASSERT_TRUE(browsing.Press(IDOK));
  EXPECT_TRUE(browsing.Result());
  EXPECT_EQ(dialog.GetFolderPath(), "C:\\windows");
}

TEST(FolderDialogTest, CancelReturnsFalseAndTheBrowserOpensAgain) {
  LocationDialog dialog;
  dialog.SetInitialFolder("c:\\");
  {
    Browsing browsing(&dialog);
    ASSERT_NE(browsing.Window(), nullptr);
    ASSERT_TRUE(browsing.Press(IDCANCEL));
    EXPECT_FALSE(browsing.Result());
    EXPECT_EQ(dialog.m_hWndBrowser, nullptr);
  }
  dialog.SetTitle("Again");  // closed, it takes settings again
  Browsing browsing(&dialog, "Again");
  ASSERT_NE(browsing.Window(), nullptr);
  ASSERT_TRUE(browsing.Press(IDOK));
  EXPECT_TRUE(browsing.Result());
  EXPECT_EQ(dialog.GetFolderPath(), "C:\\");
}

TEST(FolderDialogTest, SettersChangeNothingWhileTheBrowserIsOpen) {
  LocationDialog dialog;
  dialog.SetInitialFolder("c:\\");
  BROWSEINFOA before = dialog.m_bi;
  dialog.m_onInitialized = [](LocationDialog* self) {
    static const USHORT kDesktop = 0;  // an empty item list, harmless if it were taken
    self->SetOwner(GetDesktopWindow());
    self->SetRoot(reinterpret_cast<LPCITEMIDLIST>(&kDesktop));
    self->SetFlags(0);
    self->SetTitle("Changed");
  };
  Browsing browsing(&dialog);
  ASSERT_NE(browsing.Window(), nullptr);
  ASSERT_TRUE(browsing.Press(IDOK));
  EXPECT_TRUE(browsing.Result());
  EXPECT_EQ(dialog.m_bi.hwndOwner, before.hwndOwner);
  EXPECT_EQ(dialog.m_bi.pidlRoot, before.pidlRoot);
  EXPECT_EQ(dialog.m_bi.ulFlags, before.ulFlags);
  EXPECT_EQ(dialog.m_bi.lpszTitle, before.lpszTitle);
  EXPECT_STREQ(dialog.m_bi.lpszTitle, kTitle);
}

TEST(FolderDialogTest, BeforeBrowsingOnlyTheTitleSettersCount) {
  BaseDialog dialog;
  dialog.SetSelection("c:\\windows");
  dialog.SetStatusText("early");
  dialog.SetTitle("First");
  dialog.SetTitle("Second");
  EXPECT_FALSE(dialog.SetTitle(0));
  EXPECT_FALSE(dialog.SetTitle(999));
  Browsing browsing(&dialog, "Second");
  ASSERT_NE(browsing.Window(), nullptr);
  EXPECT_EQ(ItemText(browsing.Window(), kStatusId), "");
  ASSERT_TRUE(browsing.Press(IDOK));
  EXPECT_NE(dialog.GetFolderPath(), "C:\\windows");
}

TEST(FolderDialogTest, LongTitlesLoadWhole) {
  // folder_dialog_test.rc: 255 digits, which just fill a 256-byte buffer, and 1000.
  std::string digits;
  for (int i = 0; i < 100; ++i)
    digits += "0123456789";
  for (auto [id, length] : {std::pair(40001, 255), std::pair(40002, 1000)}) {
    BaseDialog dialog;
    ASSERT_TRUE(dialog.SetTitle(id));
    EXPECT_EQ(dialog.m_bi.lpszTitle, digits.substr(0, length)) << id;
  }
}

}  // namespace
