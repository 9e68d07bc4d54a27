// Reads arbitrary bytes as an uninstall log the way the uninstaller does: the section read once,
// the entries by their count or their consecutive keys, each normalised and placed by the path
// rules, up to the log's count of groups. The log is the uninstaller's untrusted input, so beyond
// the sanitizers' checks this traps when the section reader disagrees with the profile reader, or
// when an entry the rules allow could name anything but a plain path below the folders the
// installation uses.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "install/log_entries.h"
#include "install/path_rules.h"
#include "platform/profile.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char kInstall[] = "C:\\App";
const char kPrograms[] = "C:\\Users\\u\\Programs";
const char kDesktop[] = "C:\\Users\\u\\Desktop";

class SectionKeys : public ILogKeys {
 public:
  explicit SectionKeys(const std::string& path) : m_path(path) {
    m_files.Load(path.c_str(), "files");
  }
  bool Read(const char* key, CString* value) override {
    std::string text;
    bool found = m_files.Read(key, &text);
    // The profile reader with a default no value can hold tells whether the key is there.
    char buffer[260];
    ReadProfileString("files", key, "\x01", buffer, sizeof buffer, m_path.c_str());
    bool present = std::string(buffer) != "\x01";
    fuzz::Check(!found || text == buffer, "the section reader and the profile reader disagree");
    fuzz::Check(found || !present || text.empty(), "the section reader missed a key");
    *value = text.c_str();
    return found;
  }

 private:
  std::string m_path;
  CProfileSectionReader m_files;
};

char Fold(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithFolder(const std::string& path, const char* folder) {
  std::string prefix = std::string(folder) + "\\";
  if (path.size() <= prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Fold(path[i]) != Fold(prefix[i]))
      return false;
  }
  return true;
}

// Below its folder an allowed entry is made of plain names only.
void CheckPlain(const std::string& path, const char* folder, size_t maxComponents) {
  fuzz::Check(StartsWithFolder(path, folder), "an allowed entry lies outside its folder");
  std::string rest = path.substr(strlen(folder) + 1);
  size_t components = 1;
  size_t start = 0;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && rest[i] != '\\')
      continue;
    std::string name = rest.substr(start, i - start);
    fuzz::Check(!name.empty() && name != "." && name != "..", "an allowed entry climbs");
    fuzz::Check(name.back() != '.' && name.back() != ' ', "an allowed entry would be renamed");
    if (i < rest.size())
      ++components;
    start = i + 1;
  }
  fuzz::Check(rest.find_first_of(":/*?\"<>|") == std::string::npos,
              "an allowed entry holds a stream or a forbidden character");
  fuzz::Check(components <= maxComponents, "an allowed link or group lies too deep");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::Scratch() + "\\uninstall.ini";
  fuzz::Check(fuzz::WriteFile(path, data, size), "cannot write uninstall.ini");
  SectionKeys keys(path);
  std::vector<CString> entries = ReadLogEntries(&keys);
  CEntryRules rules(kInstall, kPrograms, kDesktop);
  std::vector<CString> normalised;
  for (const CString& entry : entries)
    normalised.push_back(NormalisePath(entry));
  int limit = ReadGroupLimit(&keys);
  std::vector<EntryPlace> places = ClassifyEntries(normalised, limit, &rules);
  std::set<std::string> groups;
  for (size_t i = 0; i < normalised.size(); ++i) {
    std::string text = normalised[i].str();
    switch (places[i]) {
      case EntryPlace::kInstall:
        CheckPlain(text, kInstall, 1000);
        break;
      case EntryPlace::kGroup:
        CheckPlain(text, kPrograms, 1);
        groups.insert(PathKey(normalised[i]));
        break;
      case EntryPlace::kGroupLink:
        CheckPlain(text, kPrograms, 2);
        break;
      case EntryPlace::kDesktopLink:
        CheckPlain(text, kDesktop, 1);
        break;
      case EntryPlace::kRefused:
        break;
    }
  }
  fuzz::Check(static_cast<int>(groups.size()) <= limit, "more groups count than the log records");
  return 0;
}
