// Windows helpers for bench/run's Wine methods, built by it for the architecture it measures.
//
//   wine_helper.exe                    returns at once: makes the prefix, shows Wine runs
//   wine_helper.exe window             shows and destroys a window first: brings up Wine's
//                                      services and window system before anything is timed
//   wine_helper.exe idle               waits until the wineserver ends it: while a program runs,
//                                      Wine keeps its services up, as a desktop session does,
//                                      where they would otherwise stop a second after each run
//                                      and start again with the next
//   wine_helper.exe answer READY_FILE [CAPTION TEXT]
//                                      creates READY_FILE, then waits for the program's
//                                      closing message box (captioned CAPTION, "setup" by
//                                      default), presses its OK button and exits: 0 for TEXT
//                                      ("Install completed!" by default), 1 for any other
//                                      message, 2 when none came within 15 minutes
//   wine_helper.exe uninstall UNINSTALLER
//                                      starts UNINSTALLER as a user does, answers its question
//                                      with Yes, answers the final message of the copy that
//                                      removes, and waits for that copy to end: 0 for "Uninstall
//                                      completed!", 1 for any other message, 2 on a timeout. A
//                                      command line cannot make the copy start without the
//                                      question, so the whole is timed; its fixed start is
//                                      measured on an installation of nothing but itself.
//   wine_helper.exe setup READY_FILE TITLE LOCATION RESULT_FILE
//                                      creates READY_FILE, then drives setup.exe, started by
//                                      another program (the one-file program), as a user does:
//                                      in its main dialog (captioned TITLE) types LOCATION and
//                                      presses Install, answers the closing message box and
//                                      waits until the program that started setup.exe has
//                                      ended. RESULT_FILE receives "box_unix_s=T peak_kb=K":
//                                      when the box appeared, on the host's clock, and that
//                                      program's peak working set. Exit status as for answer.
//
// The installer and the uninstaller end with a message box that waits for the user; the answer
// comes from a separate process so the program's own process is timed whole and unchanged.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kGiveUpMs = 15 * 60 * 1000;
// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;
// The edit control of setup.exe's main dialog that holds the install folder.
constexpr int kLocationId = 1001;

int ShowWindowOnce(HINSTANCE instance) {
  HWND window =
      CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                      CW_USEDEFAULT, 320, 120, nullptr, nullptr, instance, nullptr);
  if (!window)
    return 1;
  UpdateWindow(window);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageA(&msg);
  DestroyWindow(window);
  return 0;
}

// A message box of that caption showing that button, not the progress dialog (a dialog too,
// under another title). Wine's boxes hold every button and hide those not asked for.
HWND FindMessageBox(const char* caption, int button = IDOK) {
  HWND box = nullptr;
  while ((box = FindWindowExA(nullptr, box, "#32770", caption)) != nullptr) {
    HWND item = GetDlgItem(box, button);
    if (item && IsWindowVisible(item))
      return box;
  }
  return nullptr;
}

HWND WaitForMessageBox(const char* caption, int button) {
  for (DWORD waited = 0; waited < kGiveUpMs; waited += kPollMs) {
    if (HWND box = FindMessageBox(caption, button))
      return box;
    Sleep(kPollMs);
  }
  return nullptr;
}

void Press(HWND box, int button) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

int Uninstall(const char* uninstaller) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  char command[MAX_PATH + 3];
  wsprintfA(command, "\"%s\"", uninstaller);
  if (!CreateProcessA(uninstaller, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return 2;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HWND question = WaitForMessageBox("Uninstall", IDYES);
  if (!question)
    return 2;
  Press(question, IDYES);
  HWND done = WaitForMessageBox("Uninstall", IDOK);
  DWORD copyId = 0;
  if (!done || !GetWindowThreadProcessId(done, &copyId))
    return 2;
  HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, copyId);
  char text[256] = "";
  GetDlgItemTextA(done, kMessageTextId, text, sizeof text);
  Press(done, IDOK);
  if (copy) {
    WaitForSingleObject(copy, kGiveUpMs);
    CloseHandle(copy);
  }
  return strcmp(text, "Uninstall completed!") == 0 ? 0 : 1;
}

int Answer(const char* readyFile, const char* caption, const char* expected) {
  // The first window call brings up this process's window system, which takes a fifth of a
  // second under Wine: done before the ready file, it is not done during the timed run.
  FindMessageBox(caption);
  HANDLE ready = CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE)
    return 2;
  CloseHandle(ready);
  // Polling a few times a second costs the installer nothing measurable; Wine delivers no
  // window events across processes to wait on instead.
  for (DWORD waited = 0; waited < kGiveUpMs; waited += kPollMs) {
    HWND box = FindMessageBox(caption);
    if (!box) {
      Sleep(kPollMs);
      continue;
    }
    char text[256] = "";
    GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
    Press(box, IDOK);
    return strcmp(text, expected) == 0 ? 0 : 1;
  }
  return 2;
}

// A visible dialog of any process whose caption is exactly caption (FindWindow ignores case,
// and the one-file program's own dialogs say "Setup") and which shows that button.
struct DialogSearch {
  const char* caption;
  int button;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  DialogSearch* search = reinterpret_cast<DialogSearch*>(param);
  char className[16] = "", caption[256] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  HWND item = GetDlgItem(window, search->button);
  if (strcmp(className, "#32770") != 0 || strcmp(caption, search->caption) != 0 ||
      !IsWindowVisible(window) || !item || !IsWindowVisible(item))
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND WaitForExactDialog(const char* caption, int button) {
  for (DWORD waited = 0; waited < kGiveUpMs; waited += kPollMs) {
    DialogSearch search = {caption, button, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found)
      return search.found;
    Sleep(kPollMs);
  }
  return nullptr;
}

// The process that started the one that owns window: the one-file program, for setup.exe.
HANDLE OpenStarter(HWND window) {
  DWORD child = 0;
  GetWindowThreadProcessId(window, &child);
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return nullptr;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == child)
      parent = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  return parent
             ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, parent)
             : nullptr;
}

// Seconds since 1970 on the host's clock, which Wine's system time is.
double UnixSeconds() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<double>(ticks - 116444736000000000ULL) / 1e7;
}

int DriveSetup(const char* readyFile, const char* title, const char* location,
               const char* resultFile) {
  FindMessageBox("setup");
  HANDLE ready = CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE)
    return 2;
  CloseHandle(ready);
  HWND dialog = WaitForExactDialog(title, kLocationId);
  if (!dialog)
    return 2;
  HANDLE starter = OpenStarter(dialog);
  DWORD_PTR result = 0;
  if (!starter || !SendMessageTimeoutA(GetDlgItem(dialog, kLocationId), WM_SETTEXT, 0,
                                       reinterpret_cast<LPARAM>(location), SMTO_ABORTIFHUNG,
                                       kGiveUpMs, &result))
    return 2;
  Press(dialog, IDOK);
  HWND box = WaitForExactDialog("setup", IDOK);
  double boxSeconds = UnixSeconds();
  if (!box)
    return 2;
  char text[256] = "";
  GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
  Press(box, IDOK);
  // Wine keeps no peak of its own: it reads the kernel's high-water mark of the process's
  // resident memory (VmHWM), which only a live process has, so it is read until the end.
  SIZE_T peak = 0;
  for (;;) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(starter, &counters, sizeof counters) &&
        counters.PeakWorkingSetSize > peak)
      peak = counters.PeakWorkingSetSize;
    DWORD waited = WaitForSingleObject(starter, kPollMs);
    if (waited == WAIT_OBJECT_0)
      break;
    if (waited != WAIT_TIMEOUT)
      return 2;
  }
  CloseHandle(starter);
  FILE* out = fopen(resultFile, "w");
  if (!out ||
      fprintf(out, "box_unix_s=%.3f peak_kb=%lu\n", boxSeconds,
              static_cast<unsigned long>(peak / 1024)) < 0 ||
      fclose(out) != 0)
    return 2;
  return strcmp(text, "Install completed!") == 0 ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc == 1)
    return 0;
  if (__argc == 2 && strcmp(__argv[1], "window") == 0)
    return ShowWindowOnce(instance);
  if (__argc == 2 && strcmp(__argv[1], "idle") == 0) {
    Sleep(INFINITE);
    return 0;
  }
  if (__argc == 3 && strcmp(__argv[1], "answer") == 0)
    return Answer(__argv[2], "setup", "Install completed!");
  if (__argc == 5 && strcmp(__argv[1], "answer") == 0)
    return Answer(__argv[2], __argv[3], __argv[4]);
  if (__argc == 3 && strcmp(__argv[1], "uninstall") == 0)
    return Uninstall(__argv[2]);
  if (__argc == 6 && strcmp(__argv[1], "setup") == 0)
    return DriveSetup(__argv[2], __argv[3], __argv[4], __argv[5]);
  return 2;
}
