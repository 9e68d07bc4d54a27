// Drives setup.exe through one whole installation, as a user would, for the demo on a machine
// without a screen: waits for the main dialog, types the folder, presses Install, and keeps a
// screenshot of each dialog it sees.
// Usage: demo_driver SETUP_EXE CAPTION FOLDER SCREENSHOT_DIR
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/wine/ui_driver.h"

namespace {
constexpr DWORD kTimeoutMs = 60000;

void Shot(HWND window, const std::string& folder, const char* name) {
  Sleep(300);  // let it paint
  std::string path = folder + "\\" + name + ".bmp";
  if (SaveWindowImage(window, path))
    printf("screenshot: %s\n", path.c_str());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: demo_driver SETUP_EXE CAPTION FOLDER SCREENSHOT_DIR\n");
    return 2;
  }
  std::string shots = argv[4];
  CreateDirectoryA(shots.c_str(), nullptr);
  CDrivenProcess setup;
  if (!setup.Start(argv[1], "")) {
    fprintf(stderr, "demo: cannot start %s\n", argv[1]);
    return 1;
  }
  HWND main = WaitForDialog(setup.Id(), argv[2], kTimeoutMs);
  if (!main) {
    fprintf(stderr, "demo: the main dialog did not appear\n");
    return 1;
  }
  printf("main dialog: \"%s\", proposed folder \"%s\"\n", WindowText(main).c_str(),
         ItemText(main, IDC_LOCATION).c_str());
  Shot(main, shots, "1-main-dialog");
  SetItemText(main, IDC_LOCATION, argv[3]);
  printf("typed folder \"%s\", pressing Install\n", argv[3]);
  ClickButton(main, IDOK);
  HWND progress = WaitForDialog(setup.Id(), "Extracting files...", 10000);
  if (progress)
    Shot(progress, shots, "2-progress-dialog");
  // Any message the installation shows is kept and answered with its default button.
  for (int boxes = 0; !setup.WaitForExit(200);) {
    HWND box = WaitForMessageBox(setup.Id(), progress, 200);
    if (box && box != main) {
      printf("message: \"%s\"\n", MessageBoxText(box).c_str());
      std::string name = "3-message-" + std::to_string(++boxes);
      Shot(box, shots, name.c_str());
      ClickButton(box, IDOK);
      WaitForWindowGone(box, kTimeoutMs);
    }
  }
  printf("setup.exe has ended\n");
  return 0;
}
