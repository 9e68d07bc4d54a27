#include "shell/shell_folders.h"

#include <windows.h>

#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/held_folder.h"
#include "platform/path_text.h"
#include "platform/system_dll.h"
#include "shell/registry_key.h"

namespace {

// The profile folder of the user this process runs as, from the system's own record of it.
CString UserProfileFolder() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return CString();
  platform::CHandle owner(token);
  char path[MAX_PATH];
  DWORD size = MAX_PATH;
  if (!platform::GetUserProfileDirectoryA(token, path, &size))
    return CString();
  return platform::LongPathForm(path).c_str();
}

CString Checked(const CString& value, const CString& profile) {
  CString folder = platform::LongPathForm(value).c_str();
  // Compared with the system's final path, which has no trailing backslash.
  if (folder.GetLength() > 3 && platform::EndsInSeparator(folder, folder.GetLength()))
    folder.Delete(folder.GetLength() - 1);
  return IsUsersOwnFolder(folder, profile) ? folder : CString();
}

}  // namespace

bool IsUsersOwnFolder(const CString& folder, const CString& profile) {
  size_t length = static_cast<size_t>(folder.GetLength());
  bool absolute =
      length >= 3 && folder[1] == ':' && folder[2] == '\\' &&
      ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z'));
  if (!absolute || profile.IsEmpty() ||
      !platform::IsPathBelow(folder, length, profile, static_cast<size_t>(profile.GetLength())))
    return false;
  char root[] = {folder[0], ':', '\\', '\0'};
  if (GetDriveTypeA(root) != DRIVE_FIXED)
    return false;
  // Opened as it is named: a link anywhere on the way gives another final path.
  platform::CHeldFolder held;
  platform::EntryFault fault;
  return held.OpenBase(folder, true, &fault);
}

bool ReadShellFolders(CString* programs, CString* desktop) {
  CRegistryKey key;
  key.SelectRoot(HKEY_CURRENT_USER);
  if (!key.OpenSubKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0))
    return false;
  CString profile = UserProfileFolder();
  *programs = Checked(key.QueryString("Programs", ""), profile);
  *desktop = Checked(key.QueryString("Desktop", ""), profile);
  return true;
}
