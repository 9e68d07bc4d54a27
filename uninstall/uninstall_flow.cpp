#include "uninstall/uninstall_flow.h"

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/profile.h"
#include "uninstall/log_entries.h"
#include "uninstall/path_rules.h"

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

// Both spellings of a folder (8.3 or long, any doubling of backslashes) compare alike.
CString Canonical(const CString& path) {
  return NormalisePath(platform::LongPathForm(NormalisePath(path)).c_str());
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

// The log's section "files", read once.
class CLogKeys : public ILogKeys {
 public:
  bool Load(const CString& path) { return m_files.Load(path, "files"); }
  bool Read(const char* key, CString* value) override {
    std::string text;
    if (!m_files.Read(key, &text))
      return false;
    *value = text.c_str();
    return true;
  }

 private:
  CProfileSectionReader m_files;
};

}  // namespace

LogState ReadUninstallLog(const UninstallPlace& place, std::vector<CString>* entries,
                          CString* product) {
  entries->clear();
  CString logPath = LogPath(place);
  if (!platform::FileExists(logPath))
    return LogState::kMissing;
  // Before the entries are held: this read parses the whole log once more.
  char title[260];
  ReadProfileString("uninstall", "title", "", title, sizeof title, logPath);
  *product = title[0] ? CString(title) : FolderName(place.installFolder);
  CLogKeys keys;
  if (!keys.Load(logPath))
    return LogState::kUnreadable;
  *entries = ReadLogEntries(&keys);
  // In place: a second vector would hold every path twice.
  for (CString& entry : *entries)
    entry = Canonical(entry);
  return entries->empty() ? LogState::kEmpty : LogState::kReady;
}

bool AskToUninstall(const UninstallPlace& place, IUninstallView* view) {
  std::vector<CString> entries;
  CString product;
  switch (ReadUninstallLog(place, &entries, &product)) {
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
  question.Format("Remove %s and everything its installation created?", product.c_str());
  return view->ShowMessage(question, kCaption, kMbYesNo | kMbIconQuestion | kMbDefButton2) ==
         kIdYes;
}

bool RunRemoval(const UninstallPlace& place, IUninstallView* view) {
  std::vector<CString> entries;
  CString product;
  if (ReadUninstallLog(place, &entries, &product) != LogState::kReady) {
    view->ShowMessage("Nothing to uninstall: uninstall.ini is gone or lists nothing.", kCaption,
                      kMbOk | kMbIconInformation);
    return false;
  }
  CString installFolder = Canonical(place.installFolder);
  CEntryRules rules(installFolder, place.programs.IsEmpty() ? "" : Canonical(place.programs),
                    place.desktop.IsEmpty() ? "" : Canonical(place.desktop));
  // The uninstaller, then the log: the log goes after every other entry.
  std::vector<CString> keep = {Canonical(place.uninstaller), Canonical(LogPath(place))};
  RemovalReport report = RemoveEntries(entries, &rules, keep, view);
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
