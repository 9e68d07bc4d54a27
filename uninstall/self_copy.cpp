#include "uninstall/self_copy.h"

#include <cstdlib>
#include <string>

#include "platform/fs.h"

namespace {

// Owns one handle; closed on every path.
class CHandle {
 public:
  explicit CHandle(HANDLE handle = nullptr)
      : m_h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~CHandle() {
    if (m_h)
      CloseHandle(m_h);
  }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  HANDLE Get() const { return m_h; }

 private:
  HANDLE m_h;
};

constexpr DWORD kWaitForFirstMs = 60000;

}  // namespace

bool StartRemovalCopy(const CString& uninstaller) {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH)
    return false;
  CString folder(temp, static_cast<int>(n));
  CString copy;
  copy.Format("%suninstall-%lu.exe", folder.c_str(), GetCurrentProcessId());
  if (!CopyFileA(uninstaller, copy, FALSE))
    return false;

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  // Deleted when the last handle closes: ours now, the copy's when it ends.
  CHandle file(CreateFileA(copy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           &inherit, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.Get()) {
    DeleteFileA(copy);
    return false;
  }
  HANDLE self = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                       SYNCHRONIZE, TRUE, 0))
    return false;
  CHandle selfHandle(self);

  CString command = "\"" + copy + "\" " + kRemoveSwitch + " " +
                    std::to_string(reinterpret_cast<uintptr_t>(self)).c_str() + " \"" +
                    uninstaller + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(copy, command.GetBuffer(command.GetLength()), nullptr, nullptr, TRUE, 0,
                      nullptr, folder, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void WaitForFirstProcess(const char* handleText) {
  CHandle first(
      reinterpret_cast<HANDLE>(static_cast<uintptr_t>(strtoull(handleText, nullptr, 10))));
  if (first.Get())
    WaitForSingleObject(first.Get(), kWaitForFirstMs);
}
