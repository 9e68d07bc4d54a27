#include "install/log_carry.h"

#include <set>
#include <string>
#include <vector>

#include "install/log_entries.h"
#include "install/path_rules.h"
#include "install/uninstall_log.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "platform/profile_edit.h"

namespace {

constexpr char kSection[] = "files";

// What an earlier installation's log hands on.
struct Carried {
  std::vector<CString> entries;  // as that log wrote them, each once
  int groups = 0;                // group folders among them
  size_t oldCount = 0;           // that log's own entries, allowed or not
};

CString CanonicalOrEmpty(const CString& folder) {
  return folder.IsEmpty() ? CString() : CanonicalPath(folder);
}

bool Exists(const CString& path) {
  return platform::FileExists(path) || platform::FolderExists(path);
}

// False when the folder holds no log of ours to carry from: none, a link, a folder, a file
// with other names, or one that cannot be read. Such a log is replaced as a first installation
// replaces whatever has the name.
bool ReadCarried(const LogPlaces& places, const CString& logPath, Carried* out) {
  std::string bytes;
  platform::CFile file;
  if (!file.OpenOwnForReading(logPath) || !platform::ReadToEnd(file.Get(), &bytes))
    return false;
  file.Close();
  CLogKeys keys;
  keys.Parse(bytes);
  std::vector<CString> entries = ReadLogEntries(&keys);
  out->oldCount = entries.size();

  std::vector<CString> canonical;
  canonical.reserve(entries.size());
  for (const CString& entry : entries)
    canonical.push_back(CanonicalPath(entry));
  CEntryRules rules(CanonicalPath(places.location), CanonicalOrEmpty(places.programs),
                    CanonicalOrEmpty(places.desktop));
  std::vector<EntryPlace> where = ClassifyEntries(canonical, ReadGroupLimit(&keys), &rules);
  std::set<std::string> seen;
  for (size_t i = 0; i < entries.size(); ++i) {
    // What the uninstaller would not touch is not handed on: a log edited to name other
    // files must not gain trust by being carried.
    if (where[i] == EntryPlace::kRefused || !seen.insert(PathKey(canonical[i])).second ||
        !Exists(canonical[i]))
      continue;
    if (where[i] == EntryPlace::kGroup)
      ++out->groups;
    out->entries.push_back(entries[i]);
  }
  return true;
}

// Sets key in bytes, the file's whole text, as the log writer would.
bool Set(const char* key, const char* value, CProfileSection* section, std::string* bytes) {
  ProfileEdit edit;
  if (!section->Plan(key, value, &edit))
    return false;
  bytes->replace(edit.begin, edit.end - edit.begin, edit.bytes);
  section->Take(edit);
  return true;
}

}  // namespace

int PrepareLog(const LogPlaces& places, const CString& templatePath) {
  CString logPath = places.location + "\\" + kLogName;
  Carried carried;
  if (!ReadCarried(places, logPath, &carried) || carried.entries.empty()) {
    platform::CopyFileReplacing(templatePath, logPath);
    return 0;
  }
  // The template's text first, as a first installation's log starts; without a template (or
  // with one that cannot be edited) the entries start the file.
  std::string bytes;
  CProfileSection section;
  if (!platform::ReadWholeFile(templatePath, "rb", &bytes) || !section.Parse(bytes, kSection)) {
    bytes.clear();
    section.Parse(bytes, kSection);
  }
  int count = 0;
  for (const CString& entry : carried.entries) {
    if (Set(("file" + std::to_string(count)).c_str(), entry, &section, &bytes))
      ++count;
  }
  // One group folder per installation: the earlier ones' and the one this installation makes.
  if (carried.groups > 0)
    Set(kGroupCountKey, std::to_string(carried.groups + 1).c_str(), &section, &bytes);
  if (!platform::WriteFileReplacing(logPath, bytes)) {
    // The old log stays whole and names everything; this installation's entries follow its own.
    return static_cast<int>(carried.oldCount);
  }
  return count;
}
