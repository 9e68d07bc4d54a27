#include "shell/shell_folders.h"

#include "shell/registry_key.h"

bool ReadShellFolders(CString* programs, CString* desktop) {
  CRegistryKey key;
  key.SelectRoot(HKEY_CURRENT_USER);
  if (!key.OpenSubKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0))
    return false;
  *programs = key.QueryString("Programs", "");
  *desktop = key.QueryString("Desktop", "");
  return true;
}
