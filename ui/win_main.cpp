// The program's entry point: sets up the common controls and runs the application object.
#include <windows.h>

#include <commctrl.h>

#include "ui/win_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
