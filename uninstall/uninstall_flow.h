#pragma once
// The uninstaller from the user's side, free of any window: find the log beside the
// uninstaller, ask once, remove, and end with one message that tells the truth. The program
// around it supplies the place and the view, and runs the removal from a copy of itself so that
// the uninstaller's own file and folder can go too.

#include <vector>

#include "install/uninstall_log.h"
#include "platform/cstring.h"
#include "uninstall/removal.h"

class IUninstallView : public IRemovalView {
 public:
  // A message box; returns the button the user pressed.
  virtual int ShowMessage(const char* text, const char* caption, unsigned type) = 0;

 protected:
  ~IUninstallView() = default;
};

struct UninstallPlace {
  CString installFolder;  // the uninstaller's own folder, without a trailing backslash
  CString uninstaller;    // the uninstaller's own file in it
  CString programs;       // the user's folders; empty when unknown
  CString desktop;
};

// The log (kLogName) beside the uninstaller. [uninstall] title in it, from the publisher's
// template, names the product in the question; without it the install folder's name does.

enum class LogState { kMissing, kUnreadable, kEmpty, kReady };

// What the uninstaller reads of its log.
struct UninstallLog {
  std::vector<CString> entries;  // normalised and in long-name form
  int groupLimit = 1;            // how many group folders count
  CString product;
};

LogState ReadUninstallLog(const UninstallPlace& place, UninstallLog* log);

// Tells the user when there is nothing to remove, or asks the question. True on Yes.
bool AskToUninstall(const UninstallPlace& place, IUninstallView* view);

// Reads the log again, removes everything it allows, then the log, the uninstaller and the
// install folder when nothing of ours stayed, and ends with the final message. True when the
// removal was complete.
bool RunRemoval(const UninstallPlace& place, IUninstallView* view);

// The final message for a report.
CString DescribeRemoval(const RemovalReport& report);
