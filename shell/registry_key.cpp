#include "shell/registry_key.h"

#include <string.h>

namespace {

// Closes the key on every way out of a function, so no early return can leak a handle.
class CKeyHandle {
 public:
  CKeyHandle() = default;
  ~CKeyHandle() {
    if (m_hKey)
      RegCloseKey(m_hKey);
  }
  CKeyHandle(const CKeyHandle&) = delete;
  CKeyHandle& operator=(const CKeyHandle&) = delete;

  // Where the API stores the key it opens.
  HKEY* Receive() { return &m_hKey; }
  HKEY Get() const { return m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

// The read may fill one byte less than the buffer, the limit callers have always had: text of 255
// characters or more (256 bytes with its terminator) fails to fit and reads as missing, never
// cut short.
constexpr DWORD kValueBufferSize = 256;
constexpr DWORD kValueReadSize = kValueBufferSize - 1;

}  // namespace

CRegistryKey::~CRegistryKey() {
  Clear();
}

void CRegistryKey::Clear() {
  m_strSubKey.Empty();
  m_hRoot = HKEY_CURRENT_USER;
  m_bSkipFlush = TRUE;
}

int CRegistryKey::SelectRoot(HKEY root) {
  // The object keeps the root for later calls without owning it, so only the predefined roots
  // the installer writes under are taken; an open handle could be closed under it.
  if (root != HKEY_CLASSES_ROOT && root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE &&
      root != HKEY_USERS)
    return 0;
  m_hRoot = root;
  return 1;
}

int CRegistryKey::OpenSubKey(CString subKey, int create) {
  if (subKey.IsEmpty()) {
    m_strSubKey.Empty();
    return 1;
  }
  CKeyHandle key;
  if (create) {
    DWORD disposition = 0;
    // The create's result is kept as well as the open's, so a caller can tell why either failed.
    m_lStatus = RegCreateKeyExA(m_hRoot, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, key.Receive(), &disposition);
  } else {
    m_lStatus = RegOpenKeyExA(m_hRoot, subKey, 0, KEY_ALL_ACCESS, key.Receive());
  }
  if (m_lStatus != ERROR_SUCCESS)
    return 0;
  m_strSubKey = subKey;
  // Flushing waits for the disk; only callers that must survive a power cut ask for it.
  if (!m_bSkipFlush)
    RegFlushKey(key.Get());
  return 1;
}

DWORD CRegistryKey::QueryValueType(CString valueName) {
  CKeyHandle key;
  m_lStatus = RegOpenKeyExA(m_hRoot, m_strSubKey, 0, KEY_QUERY_VALUE, key.Receive());
  if (m_lStatus != ERROR_SUCCESS)
    return 0;
  DWORD type = 0;
  m_lStatus = RegQueryValueExA(key.Get(), valueName, nullptr, &type, nullptr, nullptr);
  return m_lStatus == ERROR_SUCCESS ? type : 0;
}

CString CRegistryKey::QueryString(CString valueName, CString defaultText) {
  DWORD type = QueryValueType(valueName);
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return defaultText;
  CKeyHandle key;
  m_lStatus = RegOpenKeyExA(m_hRoot, m_strSubKey, 0, KEY_READ, key.Receive());
  if (m_lStatus != ERROR_SUCCESS)
    return defaultText;
  char buffer[kValueBufferSize];
  DWORD size = kValueReadSize;
  m_lStatus = RegQueryValueExA(key.Get(), valueName, nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size);
  if (m_lStatus != ERROR_SUCCESS)
    return defaultText;
  // Only the bytes the system wrote: a value stored without its terminator, or with no data at
  // all, leaves the rest of the buffer as it was.
  if (size > kValueReadSize)
    size = kValueReadSize;
  const void* end = memchr(buffer, '\0', size);
  int length =
      end ? static_cast<int>(static_cast<const char*>(end) - buffer) : static_cast<int>(size);
  return CString(buffer, length);
}
