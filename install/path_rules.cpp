#include "install/path_rules.h"

#include "package/member_name.h"
#include "platform/fs.h"
#include "platform/path_text.h"

namespace {

size_t Length(const CString& text) {
  return static_cast<size_t>(text.GetLength());
}

// The part below an allowed folder must be a name the installer itself could have made: the
// member-name rules refuse "..", ".", ':' streams, device names and names Windows would rename.
bool IsPlainName(const CString& rest) {
  return !rest.IsEmpty() && CheckMemberName(rest, rest.GetLength()) == NameCheck::kOk;
}

bool HasSeparator(const CString& name) {
  return platform::NextSeparator(name, Length(name), 0) < Length(name);
}

bool IsLinkName(const CString& name) {
  size_t length = Length(name);
  if (length <= 4 || HasSeparator(name))
    return false;
  // The dot must be a character of its own, not the second half of one.
  return platform::IsCharBoundary(name, length, length - 4) &&
         platform::SamePathText(name.c_str() + length - 4, 4, ".LNK", 4);
}

}  // namespace

CString NormalisePath(const CString& path) {
  const char* text = path.c_str();
  size_t length = Length(path);
  CString out;
  bool separatorLast = false;
  for (size_t i = 0; i < length;) {
    size_t size = platform::CharSize(text, length, i);
    bool separator = size == 1 && (text[i] == '\\' || text[i] == '/');
    if (!separator)
      out += CString(text + i, static_cast<int>(size));
    else if (!separatorLast || out.GetLength() <= 1)
      out += '\\';
    separatorLast = separator;
    i += size;
  }
  if (out.GetLength() > 1 && separatorLast)
    out.Delete(out.GetLength() - 1);
  return out;
}

CString CanonicalPath(const CString& path) {
  return NormalisePath(platform::LongPathForm(NormalisePath(path)).c_str());
}

std::vector<EntryPlace> ClassifyEntries(const std::vector<CString>& entries, int groupLimit,
                                        CEntryRules* rules) {
  std::vector<EntryPlace> places;
  places.reserve(entries.size());
  std::vector<CString> groups;
  for (const CString& entry : entries) {
    places.push_back(rules->Classify(entry));
    if (places.back() != EntryPlace::kGroup)
      continue;
    bool counted = false;
    for (const CString& group : groups)
      counted = counted || SamePath(group, entry);
    if (counted)
      continue;
    if (static_cast<int>(groups.size()) >= groupLimit) {
      places.back() = EntryPlace::kRefused;
      continue;
    }
    groups.push_back(entry);
    rules->AddGroup(entry);
  }
  // Links were classified before their group was known.
  for (size_t i = 0; i < entries.size(); ++i) {
    if (places[i] == EntryPlace::kRefused && rules->Classify(entries[i]) == EntryPlace::kGroupLink)
      places[i] = EntryPlace::kGroupLink;
  }
  return places;
}

bool SamePath(const CString& a, const CString& b) {
  return platform::SamePathText(a, Length(a), b, Length(b));
}

std::string PathKey(const CString& path) {
  std::string key = path.str();
  for (size_t i = 0; i < key.size(); i += platform::CharSize(key.c_str(), key.size(), i)) {
    if (key[i] >= 'a' && key[i] <= 'z')
      key[i] = static_cast<char>(key[i] - 'a' + 'A');
  }
  return key;
}

bool IsBelow(const CString& path, const CString& folder, CString* rest) {
  if (!platform::IsPathBelow(path, Length(path), folder, Length(folder)))
    return false;
  *rest = path.Mid(folder.GetLength() + 1);
  return true;
}

CEntryRules::CEntryRules(const CString& installFolder, const CString& programs,
                         const CString& desktop)
    : m_install(installFolder), m_programs(programs), m_desktop(desktop) {}

EntryPlace CEntryRules::Classify(const CString& path) const {
  CString rest;
  if (IsBelow(path, m_install, &rest))
    return IsPlainName(rest) ? EntryPlace::kInstall : EntryPlace::kRefused;
  for (const CString& group : m_groups) {
    if (IsBelow(path, group, &rest))
      return IsPlainName(rest) && IsLinkName(rest) ? EntryPlace::kGroupLink : EntryPlace::kRefused;
  }
  if (IsBelow(path, m_programs, &rest))
    return IsPlainName(rest) && !HasSeparator(rest) ? EntryPlace::kGroup : EntryPlace::kRefused;
  if (IsBelow(path, m_desktop, &rest))
    return IsPlainName(rest) && IsLinkName(rest) ? EntryPlace::kDesktopLink : EntryPlace::kRefused;
  return EntryPlace::kRefused;
}
