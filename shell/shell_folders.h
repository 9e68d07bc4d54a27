#pragma once
// The user's Programs and Desktop folders, as the shell records them under HKEY_CURRENT_USER.
// Read only; the installer puts its group and links there, the uninstaller removes them there.

#include "platform/cstring.h"

// False when the key cannot be opened; a missing value reads empty.
bool ReadShellFolders(CString* programs, CString* desktop);
