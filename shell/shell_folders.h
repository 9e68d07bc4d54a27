#pragma once
// The user's Programs and Desktop folders, as the shell records them under HKEY_CURRENT_USER.
// Read only; the installer puts its group and links there, the uninstaller removes them there.
//
// The user's own unelevated programs can write those values, so an elevated installer or
// uninstaller takes a folder only when it is absolute, on a local fixed drive, reached through no
// link, and inside the user's profile folder as the system reports it for this process's user
// (not as the hive says): set to C:\ or to the system folder, a value would otherwise let a log
// name files there as a group or as links. A folder that does not count reads empty.

#include "platform/cstring.h"

// False when the key cannot be opened; a missing value, or one that does not count, reads empty.
bool ReadShellFolders(CString* programs, CString* desktop);

// Whether folder counts as one of the user's folders inside profile (both in long form).
bool IsUsersOwnFolder(const CString& folder, const CString& profile);
