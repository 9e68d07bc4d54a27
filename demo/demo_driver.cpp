// Drives the demo's installation and its removal, as a user would, on a machine without a
// screen: waits for each dialog, types the folder, presses the buttons, answers every message
// with its default (Yes to the uninstaller's question), and keeps a screenshot of each.
// Usage: demo_driver install SETUP_EXE CAPTION FOLDER SCREENSHOT_DIR
//        (SETUP_EXE may be the single file, which runs setup.exe as its child)
//        demo_driver uninstall UNINSTALL_EXE SCREENSHOT_DIR
#include <windows.h>

#include <cstdio>
#include <cstring>
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

// Prints a message box, keeps its picture, and presses button.
void Answer(HWND box, const std::string& shots, const std::string& name, int button) {
  printf("message: \"%s\"\n", MessageBoxText(box).c_str());
  Shot(box, shots, name.c_str());
  ClickButton(box, button);
  WaitForWindowGone(box, kTimeoutMs);
}

int Install(const char* setupExe, const char* caption, const char* folder,
            const std::string& shots) {
  CDrivenProcess setup;
  if (!setup.Start(setupExe, "")) {
    fprintf(stderr, "demo: cannot start %s\n", setupExe);
    return 1;
  }
  // Any process's windows: started from the single file, setup.exe is the program's child.
  HWND main = WaitForDialog(0, caption, kTimeoutMs);
  if (!main) {
    fprintf(stderr, "demo: the main dialog did not appear\n");
    return 1;
  }
  printf("main dialog: \"%s\", proposed folder \"%s\"\n", WindowText(main).c_str(),
         ItemText(main, IDC_LOCATION).c_str());
  Shot(main, shots, "1-main-dialog");
  SetItemText(main, IDC_LOCATION, folder);
  printf("typed folder \"%s\", pressing Install\n", folder);
  ClickButton(main, IDOK);
  HWND progress = WaitForDialog(0, "Extracting files...", 10000);
  if (progress)
    Shot(progress, shots, "2-progress-dialog");
  for (int boxes = 0; !setup.WaitForExit(200);) {
    HWND box = WaitForMessageBox(0, progress, 200);
    if (box && box != main)
      Answer(box, shots, "3-message-" + std::to_string(++boxes), IDOK);
  }
  DWORD code = 0;
  setup.WaitForExit(0, &code);
  printf("%s has ended with exit code %lu\n", setupExe, code);
  return 0;
}

int Uninstall(const char* uninstallExe, const std::string& shots) {
  CDrivenProcess uninstaller;
  if (!uninstaller.Start(uninstallExe, "")) {
    fprintf(stderr, "demo: cannot start %s\n", uninstallExe);
    return 1;
  }
  HWND question = WaitForMessageBox(uninstaller.Id(), nullptr, kTimeoutMs);
  if (!question) {
    fprintf(stderr, "demo: the uninstaller asked nothing\n");
    return 1;
  }
  Answer(question, shots, "4-uninstall-question", IDYES);
  uninstaller.WaitForExit(kTimeoutMs);
  // The removal goes on in the uninstaller's copy in the temporary folder.
  HWND done = WaitForDialog(0, "Uninstall", kTimeoutMs);
  if (!done) {
    fprintf(stderr, "demo: the uninstaller showed no final message\n");
    return 1;
  }
  Answer(done, shots, "5-uninstall-message", IDOK);
  // The copy deletes its own file as it ends.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string copy = std::string(temp) + "uninstall-" + std::to_string(uninstaller.Id()) + ".exe";
  for (DWORD start = GetTickCount(); GetFileAttributesA(copy.c_str()) != INVALID_FILE_ATTRIBUTES &&
                                     GetTickCount() - start < kTimeoutMs;)
    Sleep(50);
  printf("uninstall.exe has ended\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && strcmp(argv[1], "install") == 0) {
    CreateDirectoryA(argv[5], nullptr);
    return Install(argv[2], argv[3], argv[4], argv[5]);
  }
  if (argc == 4 && strcmp(argv[1], "uninstall") == 0) {
    CreateDirectoryA(argv[3], nullptr);
    return Uninstall(argv[2], argv[3]);
  }
  fprintf(stderr,
          "usage: demo_driver install SETUP_EXE CAPTION FOLDER SCREENSHOT_DIR\n"
          "       demo_driver uninstall UNINSTALL_EXE SCREENSHOT_DIR\n");
  return 2;
}
