#pragma once
// What follows the files: the program group under the user's Programs folder, one shortcut per
// item of setup.ini's [shortcut] section there and, where asked for, a second one on the
// desktop, each logged after the files, then the log's count. The registry and the shell's link
// object are reached through two narrow seams, so the logic runs and is tested anywhere.

#include "install/install_view.h"
#include "install/install_worker.h"
#include "platform/cstring.h"

// The user's Programs and Desktop folders.
class IShellFolders {
 public:
  // False when the folders' registry key cannot be opened; a value that is missing reads empty.
  virtual bool Read(CString* programs, CString* desktop) = 0;

 protected:
  ~IShellFolders() = default;
};

// Writes one shortcut: linkFolder + linkName pointing at baseFolder + targetName. 1 or 0.
class IShortcutWriter {
 public:
  virtual int CreateShortcut(const CString& targetName, const CString& description,
                             const CString& linkName, const CString& baseFolder,
                             const CString& linkFolder) = 0;

 protected:
  ~IShortcutWriter() = default;
};

class CShortcutPhase : public IShortcutPhase {
 public:
  // iniPath: setup.ini; view: for pausing while the cancel question is open.
  CShortcutPhase(IShellFolders* folders, IShortcutWriter* writer, const CString& iniPath,
                 IInstallView* view);
  bool Run(const CString& location, CUninstallLog* log) override;

 private:
  // The next entry, once a cancel question that may be open has been answered.
  void Log(CUninstallLog* log, const CString& path);

  IShellFolders* m_pFolders;
  IShortcutWriter* m_pWriter;
  CString m_strIniPath;
  IInstallView* m_pView;
};
