#pragma once
// CWinApp: the one application object. Our entry point calls its InitInstance once; FALSE ends
// the program without a message loop of its own.

#include <windows.h>

#include "ui/cmd_target.h"

class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const char* appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance() { return FALSE; }
  // There is no help file: the help command has nothing to show.
  void OnHelp() {}

  HINSTANCE m_hInstance = nullptr;
  const char* m_pszAppName;

  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
