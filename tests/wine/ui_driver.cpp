#include "tests/wine/ui_driver.h"

#include "platform/setup_config.h"

#include <commctrl.h>

namespace {

constexpr UINT kReadTimeoutMs = 2000;
constexpr DWORD kPollMs = 20;

struct Search {
  DWORD processId;
  const char* caption;
  HWND except;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search->processId != 0 && owner != search->processId) || window == search->except ||
      !IsWindowVisible(window))
    return TRUE;
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  if (strcmp(className, "#32770") != 0)
    return TRUE;
  if (search->caption && WindowText(window) != search->caption)
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND Poll(Search search, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    search.found = nullptr;
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found || GetTickCount() - start > timeoutMs)
      return search.found;
    Sleep(kPollMs);
  }
}

}  // namespace

CDrivenProcess::~CDrivenProcess() {
  End();
}

void CDrivenProcess::End() {
  if (m_hJob) {
    TerminateJobObject(m_hJob, 1);
    CloseHandle(m_hJob);
  }
  if (m_info.hProcess)
    CloseHandle(m_info.hProcess);
  if (m_info.hThread)
    CloseHandle(m_info.hThread);
  m_hJob = nullptr;
  m_info = {};
}

bool CDrivenProcess::Start(const std::string& exe, const std::string& arguments) {
  End();
  m_hJob = CreateJobObjectA(nullptr, nullptr);
  std::string commandLine = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &m_info))
    return false;
  if (m_hJob)
    AssignProcessToJobObject(m_hJob, m_info.hProcess);
  ResumeThread(m_info.hThread);
  return true;
}

bool CDrivenProcess::WaitForExit(DWORD timeoutMs, DWORD* code) {
  if (WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return false;
  if (code)
    GetExitCodeProcess(m_info.hProcess, code);
  return true;
}

HWND WaitForDialog(DWORD processId, const char* caption, DWORD timeoutMs) {
  return Poll(Search{processId, caption, nullptr, nullptr}, timeoutMs);
}

HWND WaitForMessageBox(DWORD processId, HWND except, DWORD timeoutMs) {
  return Poll(Search{processId, nullptr, except, nullptr}, timeoutMs);
}

std::string WindowText(HWND window) {
  char buffer[1024] = "";
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, kReadTimeoutMs, &copied))
    return std::string();
  return std::string(buffer, copied);
}

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : std::string();
}

std::string MessageBoxText(HWND box) {
  // The message is the static control with id 0xFFFF.
  return ItemText(box, 0xFFFF);
}

int ProgressPosition(HWND dialog, int id) {
  DWORD_PTR position = 0;
  HWND bar = GetDlgItem(dialog, id);
  if (!bar ||
      !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kReadTimeoutMs, &position))
    return -1;
  return static_cast<int>(position);
}

bool ClickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool SetItemText(HWND dialog, int id, const char* text) {
  HWND item = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return item && SendMessageTimeoutA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                                     SMTO_ABORTIFHUNG, kReadTimeoutMs, &result);
}

bool SaveWindowImage(HWND window, const std::string& path) {
  RECT rect;
  if (!GetWindowRect(window, &rect))
    return false;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0)
    return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  bool ok = bitmap && bits;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    SelectObject(memory, old);
  }
  if (ok) {
    DWORD size = ((width * 3 + 3) & ~3) * height;
    BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof info + size), 0, 0,
                             static_cast<DWORD>(sizeof file + sizeof info)};
    FILE* out = fopen(path.c_str(), "wb");
    ok = out && fwrite(&file, sizeof file, 1, out) == 1 &&
         fwrite(&info, sizeof info, 1, out) == 1 && fwrite(bits, 1, size, out) == size;
    if (out)
      ok = fclose(out) == 0 && ok;
  }
  if (bitmap)
    DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

void KeepScreenshot(HWND window, const std::string& name) {
  std::string folder = (GetModuleDir() + "screenshots").str();
  CreateDirectoryA(folder.c_str(), nullptr);
  // Give the window a moment to finish painting.
  Sleep(200);
  SaveWindowImage(window, folder + "\\" + name + ".bmp");
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > timeoutMs)
      return false;
    Sleep(kPollMs);
  }
  return true;
}

std::string ShellFolder(const char* name) {
  char value[MAX_PATH] = "";
  DWORD size = sizeof value;
  RegGetValueA(HKEY_CURRENT_USER,
               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", name,
               RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus)
    return info.hwndFocus;
  return window;
}

namespace {

// The lParam of a key message: one repeat, the key's scan code, Alt held when alt, and the
// previous state and transition bits of a release when up.
LPARAM KeyData(UINT vk, bool alt, bool up) {
  LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16);
  if (alt)
    data |= 1 << 29;
  if (up)
    data |= static_cast<LPARAM>(3u << 30);
  return data;
}

}  // namespace

bool PressKey(HWND window, UINT vk) {
  HWND focus = FocusOf(window);
  return PostMessageA(focus, WM_KEYDOWN, vk, KeyData(vk, false, false)) &&
         PostMessageA(focus, WM_KEYUP, vk, KeyData(vk, false, true));
}

bool TypeChars(HWND window, const std::string& text) {
  HWND focus = FocusOf(window);
  for (char c : text) {
    if (!PostMessageA(focus, WM_CHAR, static_cast<unsigned char>(c), 1))
      return false;
  }
  return true;
}

bool PressAltLetter(HWND window, char letter) {
  HWND focus = FocusOf(window);
  UINT vk = static_cast<UINT>(toupper(static_cast<unsigned char>(letter)));
  return PostMessageA(focus, WM_SYSKEYDOWN, VK_MENU, KeyData(VK_MENU, true, false)) &&
         PostMessageA(focus, WM_SYSKEYDOWN, vk, KeyData(vk, true, false)) &&
         PostMessageA(focus, WM_SYSCHAR, static_cast<unsigned char>(tolower(letter)),
                      KeyData(vk, true, false)) &&
         PostMessageA(focus, WM_SYSKEYUP, vk, KeyData(vk, true, true)) &&
         PostMessageA(focus, WM_KEYUP, VK_MENU, KeyData(VK_MENU, false, true));
}
