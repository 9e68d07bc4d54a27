#pragma once
// Removing what an installation logged: entries last one first, each only where the rules allow,
// files but never a folder's contents, then the folders that held the removed files, deepest
// first, never above the install folder. Nothing here asks or shows anything; the view gets the
// path being removed and one step per entry.

#include <cstddef>
#include <string>
#include <vector>

#include "install/path_rules.h"
#include "platform/cstring.h"
#include "platform/fs.h"

class IRemovalView {
 public:
  // Before the first entry: how many steps follow.
  virtual void BeginSteps(size_t total) = 0;
  virtual void ShowPath(const char* path) = 0;
  virtual void StepProgress() = 0;

 protected:
  ~IRemovalView() = default;
};

enum class LeftReason {
  kInUse,
  kAccessDenied,
  kNotEmpty,
  kRefused,      // outside where the installation puts things
  kThroughLink,  // a link, or reached through one, or no longer where it was found
  kNotExpected,  // a folder where a link belongs, or a file where a folder does
  kOtherNames,   // a read-only file with further names: its attribute is not ours to change
  kOther,
};

struct LeftItem {
  CString path;
  LeftReason reason = LeftReason::kOther;
  platform::ErrorCode error = 0;
};

struct RemovalReport {
  size_t removed = 0;  // entries and folders gone, now or before this run
  size_t leftCount = 0;
  std::vector<LeftItem> firstLeft;  // the first few of what was left, in the order met
  // Something of ours is still there. A folder kept alive by what is not ours, or an entry
  // refused as outside, does not count.
  bool oursLeft = false;
  // The log and the uninstaller are still there for a second run.
  bool keptForSecondRun = false;
  // Where the install folder was found when the entries went: the last files and the folder
  // itself go only from there.
  std::string installFinal;
};

// How many of the left items a report keeps by name.
constexpr size_t kShownLeft = 5;

// Removes the logged entries (in log order, normalised) allowed by rules, with up to groupLimit
// group folders (ClassifyEntries). The entries naming keep (the uninstaller and its log) are
// passed over: they go last, in FinishRemoval.
RemovalReport RemoveEntries(const std::vector<CString>& entries, int groupLimit, CEntryRules* rules,
                            const std::vector<CString>& keep, IRemovalView* view);

// After a complete removal: the files in keep, in their order, then the install folder if it is
// empty. The first file that cannot go keeps those after it: the uninstaller is not left
// without its log. What stays is added to the report.
void FinishRemoval(const CString& installFolder, const std::vector<CString>& keep,
                   RemovalReport* report);

// For tests: asked before a file or link goes; false makes that removal fail with the last error.
using RemoveFileFn = bool (*)(const char* path);
void SetRemoveFileForTesting(RemoveFileFn fn);
// For tests: called before each entry is acted on, to change the disk between check and act.
using BeforeActFn = void (*)(const char* path);
void SetBeforeActForTesting(BeforeActFn fn);
