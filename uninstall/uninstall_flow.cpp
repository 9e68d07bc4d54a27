#include "uninstall/uninstall_flow.h"

#include "install/log_entries.h"
#include "install/path_rules.h"
#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/profile.h"

namespace {

constexpr char kCaption[] = "Uninstall";
// Message box types, as the Win32 constants give them.
constexpr unsigned kMbOk = 0x00;
constexpr unsigned kMbYesNo = 0x04;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbDefButton2 = 0x100;
constexpr int kIdYes = 6;

CString LogPath(const UninstallPlace& place) {
  return place.installFolder + "\\" + kLogName;
}

CString FolderName(const CString& folder) {
  size_t slash = 0;
  return platform::LastSeparator(folder, folder.GetLength(), &slash)
             ? folder.Mid(static_cast<int>(slash) + 1)
             : folder;
}

const char* DescribeReason(LeftReason reason) {
  switch (reason) {
    case LeftReason::kInUse:
      return "in use";
    case LeftReason::kAccessDenied:
      return "access denied";
    case LeftReason::kNotEmpty:
      return "not empty: holds files the installation did not create";
    case LeftReason::kRefused:
      return "outside the installation: not touched";
    case LeftReason::kThroughLink:
      return "a link, or reached through one: not touched";
    case LeftReason::kNotExpected:
      return "not what the installation made there: not touched";
    case LeftReason::kOtherNames:
      return "read-only, with other names: left as it is";
    case LeftReason::kOther:
      break;
  }
  return "could not be removed";
}

}  // namespace

LogState ReadUninstallLog(const UninstallPlace& place, UninstallLog* log) {
  *log = UninstallLog();
  CString logPath = LogPath(place);
  if (!platform::FileExists(logPath))
    return LogState::kMissing;
  // Before the entries are held: this read parses the whole log once more.
  char title[260];
  ReadProfileString("uninstall", "title", "", title, sizeof title, logPath);
  log->product = title[0] ? CString(title) : FolderName(place.installFolder);
  CLogKeys keys;
  if (!keys.Load(logPath))
    return LogState::kUnreadable;
  log->entries = ReadLogEntries(&keys);
  log->groupLimit = ReadGroupLimit(&keys);
  // In place: a second vector would hold every path twice.
  for (CString& entry : log->entries)
    entry = CanonicalPath(entry);
  return log->entries.empty() ? LogState::kEmpty : LogState::kReady;
}

bool AskToUninstall(const UninstallPlace& place, IUninstallView* view) {
  UninstallLog log;
  switch (ReadUninstallLog(place, &log)) {
    case LogState::kMissing:
      view->ShowMessage("Nothing to uninstall: there is no uninstall.ini beside the uninstaller.",
                        kCaption, kMbOk | kMbIconInformation);
      return false;
    case LogState::kUnreadable:
      view->ShowMessage(CString("Nothing was removed: uninstall.ini cannot be read (") +
                            platform::ErrorText(platform::LastError()).c_str() + ").",
                        kCaption, kMbOk | kMbIconExclamation);
      return false;
    case LogState::kEmpty:
      view->ShowMessage("Nothing to uninstall: uninstall.ini lists nothing that was installed.",
                        kCaption, kMbOk | kMbIconInformation);
      return false;
    case LogState::kReady:
      break;
  }
  CString question;
  question.Format("Remove %s and everything its installation created?", log.product.c_str());
  return view->ShowMessage(question, kCaption, kMbYesNo | kMbIconQuestion | kMbDefButton2) ==
         kIdYes;
}

bool RunRemoval(const UninstallPlace& place, IUninstallView* view) {
  UninstallLog log;
  if (ReadUninstallLog(place, &log) != LogState::kReady) {
    view->ShowMessage("Nothing to uninstall: uninstall.ini is gone or lists nothing.", kCaption,
                      kMbOk | kMbIconInformation);
    return false;
  }
  CString installFolder = CanonicalPath(place.installFolder);
  CEntryRules rules(installFolder, place.programs.IsEmpty() ? "" : CanonicalPath(place.programs),
                    place.desktop.IsEmpty() ? "" : CanonicalPath(place.desktop));
  // The uninstaller, then the log: the log goes after every other entry.
  std::vector<CString> keep = {CanonicalPath(place.uninstaller), CanonicalPath(LogPath(place))};
  RemovalReport report = RemoveEntries(log.entries, log.groupLimit, &rules, keep, view);
  if (report.oursLeft)
    report.keptForSecondRun = true;
  else
    FinishRemoval(installFolder, keep, &report);
  bool complete = !report.oursLeft;
  view->ShowMessage(DescribeRemoval(report), kCaption,
                    kMbOk | (complete ? kMbIconInformation : kMbIconExclamation));
  return complete;
}

CString DescribeRemoval(const RemovalReport& report) {
  if (report.leftCount == 0)
    return "Uninstall completed!";
  CString text = report.oursLeft ? "Uninstall not completed! There are problems at remove file:"
                                 : "Uninstall completed! These were left:";
  for (const LeftItem& item : report.firstLeft)
    text += "\r\n" + item.path + " (" + DescribeReason(item.reason) + ")";
  if (report.leftCount > report.firstLeft.size()) {
    CString more;
    more.Format("\r\nand %lu more.",
                static_cast<unsigned long>(report.leftCount - report.firstLeft.size()));
    text += more;
  }
  if (report.keptForSecondRun)
    text += "\r\nThe uninstaller and its log stay: run it again once nothing uses these files.";
  return text;
}
