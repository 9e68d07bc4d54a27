#pragma once
// The log an installation adds to, made before the worker starts. A folder without a readable
// log gets the publisher's template, as a first installation always did. A folder that holds
// the log of an earlier installation (a reinstall or an upgrade) gets the template followed by
// the earlier entries that the uninstaller's rules allow and that still exist, written beside
// the old log and renamed over it: at every moment one whole log names everything that any
// installation made there, so that the uninstaller can remove all of it.

#include "platform/cstring.h"

struct LogPlaces {
  CString location;  // the installation folder, as the user chose it
  CString programs;  // the user's folders, checked; empty when unknown
  CString desktop;
};

// Makes location's uninstall.ini from the template at templatePath and the entries carried from
// the log found there. Returns the number of "file%d" keys the log then holds, where the
// worker's entries start.
int PrepareLog(const LogPlaces& places, const CString& templatePath);
