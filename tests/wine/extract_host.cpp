// Runs the progress dialog on the folder given on the command line, as setup.exe does after its
// main dialog, so the tests can drive it alone.
#include <windows.h>

#include "install/extract_dlg.h"
#include "ui/win_app.h"

class CExtractHostApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    const char* location = strchr(GetCommandLineA() + 1, '"');
    location = location ? location + 1 : "";
    while (*location == ' ')
      ++location;
    CExtractDlg dialog;
    dialog.Run(location);
    return FALSE;
  }
};

CExtractHostApp theApp;
