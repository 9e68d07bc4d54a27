// Win32 side: the Restart Manager (rstrtmgr.dll, Windows Vista and later) knows which processes
// have a file open or mapped. It speaks only UTF-16; names come back in the ANSI code page, as
// every other text the programs show.
#include "platform/file_users.h"

#include <windows.h>

#include "platform/system_dll.h"

namespace platform {

namespace {

FileUsersFn g_fileUsersForTesting = nullptr;

// Ends the session on every way out: an open one holds resources in the system. The calls name
// platform:: because the system's declarations of the same functions are in sight too.
class CRmSession {
 public:
  CRmSession() = default;
  ~CRmSession() {
    if (m_bStarted)
      platform::RmEndSession(m_handle);
  }
  CRmSession(const CRmSession&) = delete;
  CRmSession& operator=(const CRmSession&) = delete;

  bool Start() {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    m_bStarted = platform::RmStartSession(&m_handle, 0, key) == ERROR_SUCCESS;
    return m_bStarted;
  }
  DWORD Handle() const { return m_handle; }

 private:
  DWORD m_handle = 0;
  bool m_bStarted = false;
};

// The processes that hold the file registered with session; false when the system cannot say.
bool ListHolders(const CRmSession& session, std::vector<RM_PROCESS_INFO>* holders) {
  // The list may grow between two calls: each ERROR_MORE_DATA asks again with the size then
  // needed, a few times.
  for (int attempt = 0; attempt < 4; ++attempt) {
    UINT needed = 0;
    UINT count = static_cast<UINT>(holders->size());
    DWORD reasons = 0;
    DWORD result = platform::RmGetList(session.Handle(), &needed, &count,
                                       holders->empty() ? nullptr : holders->data(), &reasons);
    if (result == ERROR_SUCCESS) {
      holders->resize(count);
      return true;
    }
    if (result != ERROR_MORE_DATA)
      return false;
    holders->resize(needed);
  }
  return false;
}

std::string Narrow(const WCHAR* text) {
  char buffer[2 * CCH_RM_MAX_APP_NAME + 2];
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
  return n > 0 ? std::string(buffer) : std::string();
}

}  // namespace

void SetFileUsersForTesting(FileUsersFn fn) {
  g_fileUsersForTesting = fn;
}

bool FileUsers(const char* path, std::vector<std::string>* names) {
  if (g_fileUsersForTesting)
    return g_fileUsersForTesting(path, names);
  WCHAR widePath[MAX_PATH + 8];
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, widePath, MAX_PATH + 8) == 0)
    return false;
  CRmSession session;
  if (!session.Start())
    return false;
  LPCWSTR files[] = {widePath};
  if (platform::RmRegisterResources(session.Handle(), 1, files, 0, nullptr, 0, nullptr) !=
      ERROR_SUCCESS)
    return false;
  std::vector<RM_PROCESS_INFO> holders;
  if (!ListHolders(session, &holders))
    return false;
  for (const RM_PROCESS_INFO& holder : holders) {
    std::string process = "process " + std::to_string(holder.Process.dwProcessId);
    std::string name = Narrow(holder.strAppName);
    names->push_back(name.empty() ? process : name + " (" + process + ")");
  }
  return true;
}

}  // namespace platform
