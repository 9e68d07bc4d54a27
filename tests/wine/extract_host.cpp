// Runs the progress dialog on the folder given on the command line, as setup.exe does after its
// main dialog, so the tests can drive it alone.
#include <windows.h>

#include "install/extract_dlg.h"
#include "platform/setup_config.h"
#include "ui/win_app.h"

// With [host] ignoreticks=1 in setup.ini the refresh timer shows nothing, so whatever the window
// shows got there only through the worker's own flushes and the answer to the cancel question.
class CNoTickDlg : public CExtractDlg {
 protected:
  void OnTimer(UINT_PTR) {}

  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNoTickDlg, CExtractDlg)
ON_WM_TIMER()
END_MESSAGE_MAP()

class CExtractHostApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    const char* location = strchr(GetCommandLineA() + 1, '"');
    location = location ? location + 1 : "";
    while (*location == ' ')
      ++location;
    if (ReadSetupInt("host", "ignoreticks") == 1) {
      CNoTickDlg dialog;
      dialog.Run(location);
    } else {
      CExtractDlg dialog;
      dialog.Run(location);
    }
    return FALSE;
  }
};

CExtractHostApp theApp;
