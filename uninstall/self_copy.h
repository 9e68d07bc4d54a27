#pragma once
// Where the uninstaller's removal copy runs, and whom it obeys.
//
// A running program cannot delete its own file, and a folder that is a process's current folder
// cannot be removed. So the uninstaller, once the user has said Yes, starts a copy of itself
// elsewhere and ends; the copy waits for it to end and does the removal. An elevated uninstaller
// must not let the same user's unelevated programs steer that copy:
// - Not elevated, the copy goes into the user's own temporary folder; elevated, into a private
//   folder (platform/private_folder.h), so nobody else can plant a DLL beside it or swap it.
// - From the moment the copy is written and closed until it runs, the uninstaller holds it
//   open denying write and delete sharing; that handle, inherited by the copy, deletes the file
//   when the copy ends (it is opened for deletion on close). The copy's current folder is the
//   temporary folder, never its own, and before it ends it moves its file out of its own folder
//   and removes that folder, or has it removed at the next restart should that fail.
// - The copy acts only on a handover that a command line cannot forge: an inherited section
//   that holds the uninstaller's path, and the uninstaller's own process handle. A /remove
//   from anyone else is a plain start, which asks its question first.

#include <windows.h>

#include "platform/cstring.h"
#include "platform/handle.h"

// The copy's command line: the switch, then the first process's handle and the handover's.
constexpr char kRemoveSwitch[] = "/remove";

// Starts the copy that removes what uninstaller's folder holds, placed as elevated demands.
// False when it could not be started; nothing is left behind then.
bool StartRemovalCopy(const CString& uninstaller, bool elevated);

// What the copy was handed by the uninstaller that started it.
class CHandover {
 public:
  // True when argv is the command line StartRemovalCopy gave, with the handles it passed
  // inherited: then this process is that uninstaller's copy. Takes nothing from any other
  // command line, and closes no handle it did not recognise.
  bool Take(int argc, char* const* argv);
  // The uninstaller that started the copy: its folder is the one to remove.
  const CString& Uninstaller() const { return m_uninstaller; }
  // Waits until the uninstaller has ended (so that its file can go), a minute at most.
  void WaitForFirstProcess() const;
  // Last of all: a copy in a folder of its own moves its file into the parent folder, where it
  // is deleted as the copy ends, and removes the emptied folder.
  void LeaveOwnFolder();

 private:
  CString m_uninstaller;
  platform::CHandle m_first;
  HANDLE m_copyFile = nullptr;  // inherited, closed by the system as the copy ends
  bool m_ownFolder = false;
};
