// The program's entry point: restricts where DLLs come from, sets up the common controls and runs
// the application object.
#include <windows.h>

#include <commctrl.h>

#include "platform/dll_search.h"
#include "ui/win_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL by name: none may come from the program's own folder.
  platform::RestrictDllSearch();
  // The progress bar's window class comes from the common controls library.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  CWinApp* app = AfxGetApp();
  if (!app)
    return 1;
  app->m_hInstance = instance;
  app->InitInstance();
  return 0;
}
