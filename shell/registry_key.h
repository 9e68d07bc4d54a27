#pragma once
// CRegistryKey names one registry key, a predefined root and a sub-key path below it, and reads
// values from it. It never keeps a key open: each operation opens the key, does its work and
// closes it again, so the object holds only the root, the path, a flag and its last status.

#include <windows.h>

#include "platform/cstring.h"

class CRegistryKey {
 public:
  CRegistryKey() = default;
  ~CRegistryKey();

  // Empties the path, selects HKEY_CURRENT_USER again and sets m_bSkipFlush; keeps m_lStatus.
  void Clear();
  // Accepts HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_USERS only.
  int SelectRoot(HKEY root);
  // Selects subKey below the root (creating it when create is non-zero); "" selects the root.
  int OpenSubKey(CString subKey, int create);
  // The value's registry type, or 0 when it cannot be read.
  DWORD QueryValueType(CString valueName);
  // A REG_SZ or REG_EXPAND_SZ value's text (unexpanded), or defaultText.
  CString QueryString(CString valueName, CString defaultText);

  LONG m_lStatus = ERROR_SUCCESS;
  HKEY m_hRoot = HKEY_CURRENT_USER;
  BOOL m_bSkipFlush = TRUE;
  CString m_strSubKey;
};
