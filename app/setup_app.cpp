#include "app/setup_app.h"

#include "install/extract_dlg.h"
#include "ui/setup_dlg.h"

namespace {
constexpr UINT kIdHelp = 0xE146;  // the framework's help command
}

CSetupApp theApp;

CSetupApp::CSetupApp() : CWinApp(nullptr) {}

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
ON_COMMAND(kIdHelp, &CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CSetupApp::InitInstance() {
  CSetupDlg setupDialog;
  if (setupDialog.DoModal() == IDOK) {
    // Only the folder passes from the first dialog to the second, exactly as typed.
    CExtractDlg extractDialog;
    extractDialog.Run(setupDialog.m_strLocation);
  }
  return FALSE;
}
