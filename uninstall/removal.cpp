#include "uninstall/removal.h"

#include <algorithm>
#include <set>
#include <string>

#include "platform/held_folder.h"
#include "platform/path_text.h"

using platform::CHeldFolder;
using platform::EntryFault;
using platform::EntryKind;

namespace {

RemoveFileFn g_removeFile = nullptr;
BeforeActFn g_beforeAct = nullptr;

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

// The components of a relative path, folder by folder.
std::vector<std::string> Components(const std::string& relative) {
  std::vector<std::string> parts;
  size_t start = 0;
  size_t length = relative.size();
  for (size_t slash; (slash = platform::NextSeparator(relative.c_str(), length, start)) < length;
       start = slash + 1)
    parts.push_back(relative.substr(start, slash - start));
  parts.push_back(relative.substr(start));
  return parts;
}

// The folders held on the way to the entry in hand: a base (the install folder, Programs or the
// Desktop) and a chain below it, each folder opened without following a link and held while
// anything below it is acted on. Entries come folder by folder, so the chain is kept from one
// entry to the next as far as their folders agree.
class CHeldChain {
 public:
  CHeldChain(const CString& base, bool noLinks) {
    if (!base.IsEmpty())
      m_baseOpened = m_base.OpenBase(base, noLinks, &m_baseFault);
  }

  // The folder named by the first count of parts, held with all above it; null, with the fault,
  // when one of them cannot be.
  const CHeldFolder* Reach(const std::vector<std::string>& parts, size_t count, EntryFault* fault) {
    if (!m_baseOpened) {
      *fault = m_baseFault;
      return nullptr;
    }
    size_t same = 0;
    while (same < m_names.size() && same < count && m_names[same] == parts[same])
      ++same;
    m_names.resize(same);
    m_chain.resize(same);
    while (m_chain.size() < count) {
      CHeldFolder next;
      if (!next.OpenChild(Top(), parts[m_chain.size()].c_str(), fault))
        return nullptr;
      m_names.push_back(parts[m_chain.size()]);
      m_chain.push_back(std::move(next));
    }
    return &Top();
  }

  const std::string& BaseFinalPath() const { return m_base.FinalPath(); }
  // The base counts only where it was found before: otherwise acts on it fail as moved.
  void RequireBaseAt(const std::string& final) {
    if (m_baseOpened && !final.empty() && !platform::SameFinalPath(m_base.FinalPath(), final)) {
      m_base.Close();
      m_baseOpened = false;
      m_baseFault = EntryFault::kMoved;
    }
  }

  // Lets everything go, the base too, and removes the base when it is empty.
  EntryFault RemoveBase(platform::ErrorCode* error) {
    m_chain.clear();
    m_names.clear();
    if (!m_baseOpened)
      return m_baseFault;
    m_baseOpened = false;
    m_baseFault = EntryFault::kNotFound;
    return m_base.RemoveSelf(error);
  }

 private:
  const CHeldFolder& Top() const { return m_chain.empty() ? m_base : m_chain.back(); }

  CHeldFolder m_base;
  bool m_baseOpened = false;
  EntryFault m_baseFault = EntryFault::kNotFound;
  std::vector<CHeldFolder> m_chain;
  std::vector<std::string> m_names;
};

class CRemoval {
 public:
  explicit CRemoval(RemovalReport* report) : m_report(report) {}

  void Left(const CString& path, LeftReason reason, platform::ErrorCode error = 0) {
    ++m_report->leftCount;
    if (m_report->firstLeft.size() < kShownLeft)
      m_report->firstLeft.push_back(LeftItem{path, reason, error});
  }

  // Removes what relative names below the chain's base, as kind asks, through held folders;
  // path names it in the report. True when it is gone, now or before.
  bool Remove(CHeldChain* chain, const CString& path, const std::string& relative, EntryKind kind) {
    std::vector<std::string> parts = Components(relative);
    platform::ErrorCode error = 0;
    EntryFault fault = EntryFault::kNone;
    if (g_removeFile && kind != EntryKind::kFolder && !g_removeFile(path)) {
      error = platform::LastError();
      fault = EntryFault::kError;
    } else if (const CHeldFolder* parent = chain->Reach(parts, parts.size() - 1, &fault)) {
      fault = platform::RemoveEntry(*parent, parts.back().c_str(), kind, &error);
    }
    return Account(path, fault, error);
  }

  // What became of one act, in the report. A folder kept alive by what is not ours, and what is
  // refused, do not count as ours left.
  bool Account(const CString& path, EntryFault fault, platform::ErrorCode error) {
    switch (fault) {
      case EntryFault::kNone:
      case EntryFault::kNotFound:
        ++m_report->removed;
        return true;
      case EntryFault::kLink:
      case EntryFault::kMoved:
        Left(path, LeftReason::kThroughLink);
        return false;
      case EntryFault::kFolder:
      case EntryFault::kNotFolder:
        Left(path, LeftReason::kNotExpected);
        return false;
      case EntryFault::kOtherNames:
        Left(path, LeftReason::kOtherNames, error);
        return false;
      case EntryFault::kError:
        break;
    }
    LeftReason reason = ReasonFor(error);
    Left(path, reason, error);
    if (reason != LeftReason::kNotEmpty)
      m_report->oursLeft = true;
    return false;
  }

 private:
  RemovalReport* m_report;
};

// What follows folder's backslash in path (both normalised); the rules put every acted-on entry
// below its folder.
std::string Below(const CString& path, const CString& folder) {
  CString rest;
  return IsBelow(path, folder, &rest) ? rest.str() : std::string();
}

int Depth(const std::string& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), '\\'));
}

// Every folder between the entry and the install folder (relative to it), which itself stays
// for the end.
void NoteFolders(const std::string& relative, std::set<std::string>* out) {
  std::string folder = relative;
  for (size_t slash; platform::LastSeparator(folder.c_str(), folder.size(), &slash);) {
    folder.resize(slash);
    if (!out->insert(folder).second)
      return;  // its parents were noted with it
  }
}

}  // namespace

void SetRemoveFileForTesting(RemoveFileFn fn) {
  g_removeFile = fn;
}

void SetBeforeActForTesting(BeforeActFn fn) {
  g_beforeAct = fn;
}

RemovalReport RemoveEntries(const std::vector<CString>& entries, int groupLimit, CEntryRules* rules,
                            const std::vector<CString>& keep, IRemovalView* view) {
  std::vector<EntryPlace> places = ClassifyEntries(entries, groupLimit, rules);
  // A group that a later installation logged again goes where the log first names it: after
  // every link any installation put in it.
  std::set<std::string> groupsSeen;
  std::vector<bool> repeatedGroup(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (places[i] == EntryPlace::kGroup)
      repeatedGroup[i] = !groupsSeen.insert(PathKey(entries[i])).second;
  }

  RemovalReport report;
  CRemoval removal(&report);
  // The user's folders only as they are: no link anywhere on the way.
  CHeldChain install(rules->InstallFolder(), false);
  CHeldChain programs(rules->Programs(), true);
  CHeldChain desktop(rules->Desktop(), true);
  std::set<std::string> folders;
  view->BeginSteps(entries.size());
  for (size_t i = entries.size(); i-- > 0;) {
    const CString& path = entries[i];
    view->ShowPath(path);
    if (g_beforeAct)
      g_beforeAct(path);
    switch (places[i]) {
      case EntryPlace::kRefused:
        removal.Left(path, LeftReason::kRefused);
        break;
      case EntryPlace::kInstall: {
        std::string relative = Below(path, rules->InstallFolder());
        NoteFolders(relative, &folders);
        if (!IsKept(path, keep))
          removal.Remove(&install, path, relative, EntryKind::kAny);
        break;
      }
      case EntryPlace::kGroup:
        if (repeatedGroup[i])
          ++report.removed;  // as any repeat: its first entry accounts for it
        else
          removal.Remove(&programs, path, Below(path, rules->Programs()), EntryKind::kFolder);
        break;
      case EntryPlace::kGroupLink:
        removal.Remove(&programs, path, Below(path, rules->Programs()), EntryKind::kFile);
        break;
      case EntryPlace::kDesktopLink:
        removal.Remove(&desktop, path, Below(path, rules->Desktop()), EntryKind::kFile);
        break;
    }
    view->StepProgress();
  }

  report.installFinal = install.BaseFinalPath();
  std::vector<std::string> deepestFirst(folders.begin(), folders.end());
  std::stable_sort(deepestFirst.begin(), deepestFirst.end(),
                   [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });
  for (const std::string& folder : deepestFirst) {
    CString path = rules->InstallFolder() + "\\" + folder.c_str();
    removal.Remove(&install, path, folder, EntryKind::kFolder);
  }
  return report;
}

void FinishRemoval(const CString& installFolder, const std::vector<CString>& keep,
                   RemovalReport* report) {
  CRemoval removal(report);
  CHeldChain install(installFolder, false);
  install.RequireBaseAt(report->installFinal);
  for (const CString& path : keep) {
    if (!removal.Remove(&install, path, Below(path, installFolder), EntryKind::kFile)) {
      report->keptForSecondRun = true;
      return;
    }
  }
  platform::ErrorCode error = 0;
  EntryFault fault = install.RemoveBase(&error);
  removal.Account(installFolder, fault, error);
}
