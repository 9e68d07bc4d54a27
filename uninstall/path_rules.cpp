#include "uninstall/path_rules.h"

#include "package/member_name.h"
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

bool SamePath(const CString& a, const CString& b) {
  return platform::SamePathText(a, Length(a), b, Length(b));
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
