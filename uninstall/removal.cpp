#include "uninstall/removal.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

RemoveFileFn g_removeFile = platform::RemoveFile;

bool IsKept(const CString& path, const std::vector<CString>& keep) {
  for (const CString& kept : keep) {
    if (SamePath(path, kept))
      return true;
  }
  return false;
}

LeftReason ReasonFor(platform::ErrorCode error) {
  switch (platform::ClassifyError(error)) {
    case platform::FsError::kInUse:
      return LeftReason::kInUse;
    case platform::FsError::kAccessDenied:
      return LeftReason::kAccessDenied;
    case platform::FsError::kNotEmpty:
      return LeftReason::kNotEmpty;
    default:
      return LeftReason::kOther;
  }
}

class CRemoval {
 public:
  explicit CRemoval(RemovalReport* report) : m_report(report) {}

  void Left(const CString& path, LeftReason reason, platform::ErrorCode error = 0) {
    ++m_report->leftCount;
    if (m_report->firstLeft.size() < kShownLeft)
      m_report->firstLeft.push_back(LeftItem{path, reason, error});
  }

  // A file or link: made writable, then deleted. One already gone counts as removed.
  bool RemoveFile(const CString& path) {
    platform::SetNormalAttributes(path);
    bool removed = g_removeFile(path);
    // Taken before the check below can change it.
    platform::ErrorCode error = platform::LastError();
    if (removed || !platform::FileExists(path)) {
      ++m_report->removed;
      return true;
    }
    Left(path, ReasonFor(error), error);
    m_report->oursLeft = true;
    return false;
  }

  // Only when empty; what keeps it alive is not ours (ours was removed before), so it stays.
  void RemoveFolder(const CString& path) {
    bool removed = platform::RemoveFolder(path);
    platform::ErrorCode error = platform::LastError();
    if (removed || !platform::FolderExists(path)) {
      ++m_report->removed;
      return;
    }
    LeftReason reason = ReasonFor(error);
    Left(path, reason, error);
    if (reason != LeftReason::kNotEmpty)
      m_report->oursLeft = true;
  }

  void Remove(const CString& path) {
    if (platform::FolderExists(path))
      RemoveFolder(path);
    else
      RemoveFile(path);
  }

 private:
  RemovalReport* m_report;
};

// Whether every folder between base and the entry is a plain folder. A link or junction there,
// which anyone who can write the install folder could make, would turn a logged path inside
// into a file anywhere. Each folder is asked once.
class CFolderCheck {
 public:
  explicit CFolderCheck(const CString& base) : m_base(base.str()) {}
  bool Plain(const CString& path) {
    const std::string& text = path.str();
    for (size_t slash = text.find('\\', m_base.size() + 1); slash != std::string::npos;
         slash = text.find('\\', slash + 1)) {
      std::string folder = text.substr(0, slash);
      if (m_plain.count(folder))
        continue;
      if (platform::IsLink(folder.c_str()))
        return false;
      m_plain.insert(folder);
    }
    return true;
  }

 private:
  std::string m_base;
  std::set<std::string> m_plain;
};

int Depth(const std::string& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), '\\'));
}

// Every folder between the entry and the install folder, which itself stays for the end.
void NoteFolders(const CString& path, const CString& installFolder, std::set<std::string>* out) {
  std::string folder = path.str();
  for (;;) {
    size_t slash = folder.rfind('\\');
    if (slash == std::string::npos || slash <= static_cast<size_t>(installFolder.GetLength()))
      return;
    folder.resize(slash);
    if (!out->insert(folder).second)
      return;  // its parents were noted with it
  }
}

}  // namespace

void SetRemoveFileForTesting(RemoveFileFn fn) {
  g_removeFile = fn ? fn : platform::RemoveFile;
}

RemovalReport RemoveEntries(const std::vector<CString>& entries, CEntryRules* rules,
                            const std::vector<CString>& keep, IRemovalView* view) {
  std::vector<EntryPlace> places;
  places.reserve(entries.size());
  for (const CString& entry : entries) {
    places.push_back(rules->Classify(entry));
    if (places.back() == EntryPlace::kGroup)
      rules->AddGroup(entry);
  }
  // Links were classified before their group was known.
  for (size_t i = 0; i < entries.size(); ++i) {
    if (places[i] == EntryPlace::kRefused)
      places[i] = rules->Classify(entries[i]);
  }

  RemovalReport report;
  CRemoval removal(&report);
  CFolderCheck installFolders(rules->InstallFolder());
  std::set<std::string> folders;
  view->BeginSteps(entries.size());
  for (size_t i = entries.size(); i-- > 0;) {
    const CString& path = entries[i];
    view->ShowPath(path);
    switch (places[i]) {
      case EntryPlace::kRefused:
        removal.Left(path, LeftReason::kRefused);
        break;
      case EntryPlace::kInstall:
        if (!installFolders.Plain(path)) {
          removal.Left(path, LeftReason::kRefused);
          break;
        }
        NoteFolders(path, rules->InstallFolder(), &folders);
        if (!IsKept(path, keep))
          removal.Remove(path);
        break;
      case EntryPlace::kGroup:
        removal.RemoveFolder(path);
        break;
      case EntryPlace::kGroupLink:
        // The group itself must be the folder it seems, not a link to another.
        if (platform::IsLink(path.Left(path.ReverseFind('\\'))))
          removal.Left(path, LeftReason::kRefused);
        else
          removal.RemoveFile(path);
        break;
      case EntryPlace::kDesktopLink:
        removal.RemoveFile(path);
        break;
    }
    view->StepProgress();
  }

  std::vector<std::string> deepestFirst(folders.begin(), folders.end());
  std::stable_sort(deepestFirst.begin(), deepestFirst.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  for (const std::string& folder : deepestFirst)
    removal.RemoveFolder(folder.c_str());
  return report;
}

void FinishRemoval(const CString& installFolder, const std::vector<CString>& keep,
                   RemovalReport* report) {
  CRemoval removal(report);
  for (const CString& path : keep) {
    if (!removal.RemoveFile(path)) {
      report->keptForSecondRun = true;
      return;
    }
  }
  removal.RemoveFolder(installFolder);
}
