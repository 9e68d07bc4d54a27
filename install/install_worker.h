#pragma once
// The body of the installation, free of any window: opens the package, unpacks every member
// into the installation folder, logs each file, obeys pause and cancel, and ends the dialog.
// InstallThreadProc runs it on the worker thread with the progress dialog as the view.

#include "install/install_view.h"
#include "install/uninstall_log.h"
#include "platform/cstring.h"

// What follows the files: the program group and its shortcuts. Until it exists the worker goes
// straight from the files to the end.
class IShortcutPhase {
 public:
  // Creates and logs the group and shortcuts after the files, then writes "filenum"; returns
  // false when a shortcut could not be made.
  virtual bool Run(const CString& location, CUninstallLog* log) = 0;

 protected:
  ~IShortcutPhase() = default;
};

struct InstallOutcome {
  enum Kind {
    kOpenFailed,  // the package could not be opened
    kCancelled,   // the user confirmed the cancel
    kCompleted,   // every member unpacked intact
    kDamaged,     // the package ended in damage, or a member did not unpack intact
  };
  Kind kind = kOpenFailed;
  int entries = 0;      // "file%d" entries in the log
  CString firstFailed;  // the first file that failed, for kDamaged
  CString reason;       // why it failed, in words
  CString logFailed;    // the uninstall log, when an entry or the count could not be written
  CString logReason;    // why the first write that failed did, in words
};

// Runs the whole installation into location from the package at packPath, its log entries
// numbered from firstEntry on (after those carried from an earlier installation). Every path
// ends with view->End().
InstallOutcome RunInstall(const CString& location, const CString& packPath, IInstallView* view,
                          IShortcutPhase* shortcuts, int firstEntry = 0);

// The message that reports a damaged installation, naming its first failed file (and the log,
// when it is incomplete too).
CString DescribeDamage(const InstallOutcome& outcome);

// The message that ends an installation whose files are intact.
CString DescribeCompletion(const InstallOutcome& outcome, bool shortcutsMade);
