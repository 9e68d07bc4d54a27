#include "platform/private_folder.h"

#include <ntsecapi.h>
#include <sddl.h>

#include "platform/handle.h"

namespace platform {

namespace {

// Owner Administrators; full control for SYSTEM and Administrators, for the folder and what is
// made in it; nothing inherited from the temporary folder, which lets users create files.
constexpr char kAdminOnlyAccess[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

}  // namespace

bool IsProcessElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return true;
  CHandle owner(token);
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
    return true;
  return elevation.TokenIsElevated != 0;
}

bool PrivateFolderParent(bool elevated, CString* parent) {
  char path[MAX_PATH];
  if (!elevated) {
    DWORD n = GetTempPathA(MAX_PATH, path);
    if (n == 0 || n >= MAX_PATH)
      return false;
    *parent = CString(path, static_cast<int>(n));
    return true;
  }
  // Not GetWindowsDirectory: on a terminal server that may be a folder of the user's own.
  UINT n = GetSystemWindowsDirectoryA(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return false;
  *parent = CString(path, static_cast<int>(n));
  if (path[n - 1] != '\\')
    *parent += '\\';
  *parent += "Temp\\";
  return true;
}

bool MakePrivateFolder(const CString& parent, const char* prefix, bool adminOnly, CString* folder) {
  PSECURITY_DESCRIPTOR access = nullptr;
  if (adminOnly && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                       kAdminOnlyAccess, SDDL_REVISION_1, &access, nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, access, FALSE};
  bool made = false;
  for (int attempt = 0; attempt < 4 && !made; ++attempt) {
    unsigned char random[8];
    if (!RtlGenRandom(random, sizeof random))
      break;
    *folder = parent + prefix;
    for (unsigned char byte : random) {
      *folder += "0123456789abcdef"[byte >> 4];
      *folder += "0123456789abcdef"[byte & 15];
    }
    made = CreateDirectoryA(*folder, adminOnly ? &attributes : nullptr) != 0;
    if (!made && GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (access)
    LocalFree(access);
  return made;
}

}  // namespace platform
