/* A DLL planted under the name of one that system DLLs load by name: when loaded, it appends a
   line to NAME.loaded beside itself, and does nothing else. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  char path[MAX_PATH + 8];
  DWORD n;
  HANDLE marker;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH)
    return TRUE;
  n = GetModuleFileNameA(instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return TRUE;
  lstrcatA(path, ".loaded");
  marker = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_ALWAYS, 0, NULL);
  if (marker != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(marker, "loaded\r\n", 8, &written, NULL);
    CloseHandle(marker);
  }
  return TRUE;
}
