#pragma once
// Shortcut files (.lnk), written through the shell's link object.

#include <windows.h>

#include <shlobj.h>

#include "platform/com_ptr.h"
#include "platform/cstring.h"
#include "platform/object.h"

// The settings of one shortcut.
class CShortcutInfo : public CObject {
 public:
  CShortcutInfo() = default;
  CShortcutInfo(const CShortcutInfo&) = delete;
  CShortcutInfo& operator=(const CShortcutInfo& other);
  ~CShortcutInfo() override;

  CString m_strTarget;
  LPITEMIDLIST m_pidlTarget = nullptr;  // used instead of m_strTarget when set; owned
  CString m_strArguments;
  CString m_strDescription;
  WORD m_wHotKey = 0;
  CString m_strIconFile;
  int m_nIconIndex = 0;
  int m_nShowCmd = SW_SHOW;
  CString m_strWorkingFolder;
};

// One shell link object, and the record it writes.
class CShellLink {
 public:
  CShellLink() = default;
  CShellLink(const CShellLink&) = delete;
  CShellLink& operator=(const CShellLink&) = delete;

  int CreateLinkObject();
  int SetInfo(const CShortcutInfo& info);
  int SaveLink(const CString& linkFile);
  // The object's bytes as a new file linkFile, never written into what had the name before.
  bool WriteLinkFile(const CString& linkFile);

  // Released in reverse order: the persist interface, the link object, then the record.
  CShortcutInfo m_info;
  CComPtr<IShellLinkA> m_pShellLink;
  CComPtr<IPersistFile> m_pPersistFile;
  int m_bCreateTried = 0;
};

// Writes linkFolder + linkName pointing at baseFolder + targetName; exactly 1 on success, 0 on
// failure. The strings are joined exactly as passed.
int CreateShortcut(CString targetName, CString description, CString linkName,
                   const CString& baseFolder, const CString& linkFolder);
