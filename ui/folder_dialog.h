#pragma once
// The shell's folder browser (SHBrowseForFolder), wrapped so a derived class can react to its
// start and to each change of selection. The browser is modal and runs on the calling thread.

#include <windows.h>

#include <shlobj.h>

#include <memory>

#include "platform/cstring.h"

class CFolderDialog {
 public:
  // titleId: the string resource shown above the folder tree; root null: the desktop.
  CFolderDialog(HWND owner, LPCITEMIDLIST root, int titleId);
  // Abstract: only a derived class knows what the browser is for.
  virtual ~CFolderDialog() = 0;
  CFolderDialog(const CFolderDialog&) = delete;
  CFolderDialog& operator=(const CFolderDialog&) = delete;

  // These change how the next Browse opens the browser; while it is open they do nothing.
  void SetOwner(HWND owner);
  void SetRoot(LPCITEMIDLIST root);
  void SetFlags(UINT flags);
  void SetTitle(const char* text);
  // The string resource id as the title. False, with the title unchanged, when id is not
  // positive or names no string resource.
  bool SetTitle(int id);

  // While the browser is open: selects the folder path, or shows text in its status line
  // (with BIF_STATUSTEXT). Before it opens there is no window to tell, so they do nothing.
  void SetSelection(const char* path);
  void SetStatusText(const char* text);

  // Shows the browser until the user closes it; true when a file system folder was chosen.
  bool Browse();
  // The chosen folder; meaningful only after Browse returned true.
  CString GetFolderPath() const { return CString(m_szPath); }

 protected:
  virtual void OnInitialized() {}
  virtual void OnSelChanged(LPCITEMIDLIST) {}

  std::unique_ptr<char[]> m_title;
  BROWSEINFOA m_bi = {};
  char m_szPath[MAX_PATH] = "";
  CString m_strPath;
  HWND m_hWndBrowser = nullptr;  // the open browser; null otherwise

 private:
  static int CALLBACK BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM arg, LPARAM data);
};

// The browser for the install location: opens at the folder given and shows the selected
// folder's path in its status line.
class CLocationFolderDialog : public CFolderDialog {
 public:
  CLocationFolderDialog(HWND owner, int titleId) : CFolderDialog(owner, nullptr, titleId) {}

  void SetInitialFolder(const char* path) { m_strInitialFolder = path; }

 protected:
  void OnInitialized() override;
  void OnSelChanged(LPCITEMIDLIST pidl) override;

  CString m_strInitialFolder;
};
