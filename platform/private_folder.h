#pragma once
// A new folder that a program running elevated may fill and run code from: nobody but
// administrators can plant or swap a file in it. Used for the uninstaller's removal copy and for
// the folder the one-file program unpacks into.
// - Not elevated, it lies in the user's own temporary folder: whoever can write there is that
//   same user and gains nothing by it.
// - Elevated, it lies under the Windows temporary folder with an access list that lets only
//   administrators and SYSTEM in. That folder is the parent because users may add entries there
//   but not delete or rename those of others, unlike %TEMP% or a folder under C:\, and because
//   the system names it, not the user's environment.
// Either way its name is random and did not exist before: a name already taken is somebody
// else's folder and is never reused.

#include <windows.h>

#include "platform/cstring.h"

namespace platform {

// True when this process runs with a full administrator token. A failed query counts as
// elevated: what it makes then goes where an elevated program's must.
bool IsProcessElevated();

// The temporary folder for elevated or not, with its trailing backslash.
bool PrivateFolderParent(bool elevated, CString* parent);

// Makes parent + prefix + 16 random hexadecimal digits, open only to administrators and SYSTEM
// when adminOnly. False, with nothing made, when no such folder could be made.
bool MakePrivateFolder(const CString& parent, const char* prefix, bool adminOnly, CString* folder);

}  // namespace platform
