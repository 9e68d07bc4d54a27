// The demo application that the demo package installs: one window that says where it runs from.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) lstrcpyA(path, "(unknown)");
  char text[MAX_PATH + 64];
  wsprintfA(text, "Hello! The demo application runs from\r\n%s", path);
  MessageBoxA(nullptr, text, "Hello Demo", MB_OK | MB_ICONINFORMATION);
  return 0;
}
