#pragma once
// A running program cannot delete its own file, and a folder that is a process's current
// folder cannot be removed. So the uninstaller, once the user has said Yes, starts a copy of
// itself in the temporary folder, with the temporary folder as its current folder, and ends;
// the copy waits for it to end and does the removal. The copy's file is opened for deletion on
// close and that handle is inherited by the copy, so the file goes when the copy ends: nothing
// of ours stays in the temporary folder.

#include <windows.h>

#include "platform/cstring.h"

// The copy's command line: the switch, then the first process's handle, then the uninstaller.
constexpr char kRemoveSwitch[] = "/remove";

// Starts the copy that removes what uninstaller's folder holds. False when it could not be
// started; nothing is left behind then.
bool StartRemovalCopy(const CString& uninstaller);

// In the copy: the first process's handle from the command line, waited for until it has
// ended (or a minute has passed), then closed.
void WaitForFirstProcess(const char* handleText);
