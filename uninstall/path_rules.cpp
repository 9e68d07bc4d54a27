#include "uninstall/path_rules.h"

#include "package/member_name.h"

namespace {

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The part below an allowed folder must be a name the installer itself could have made: the
// member-name rules refuse "..", ".", ':' streams, device names and names Windows would rename.
bool IsPlainName(const CString& rest) {
  return !rest.IsEmpty() && CheckMemberName(rest, rest.GetLength()) == NameCheck::kOk;
}

bool SamePrefix(const CString& path, const CString& prefix) {
  int length = prefix.GetLength();
  if (path.GetLength() < length)
    return false;
  for (int i = 0; i < length; ++i) {
    if (FoldAscii(path[i]) != FoldAscii(prefix[i]))
      return false;
  }
  return true;
}

bool IsLinkName(const CString& name) {
  int length = name.GetLength();
  if (length <= 4 || name.Find('\\') >= 0)
    return false;
  CString ext = name.Right(4);
  return ext[0] == '.' && FoldAscii(ext[1]) == 'L' && FoldAscii(ext[2]) == 'N' &&
         FoldAscii(ext[3]) == 'K';
}

}  // namespace

CString NormalisePath(const CString& path) {
  CString out;
  for (int i = 0; i < path.GetLength(); ++i) {
    char c = path[i] == '/' ? '\\' : path[i];
    bool repeated = c == '\\' && out.GetLength() > 1 && out[out.GetLength() - 1] == '\\';
    if (!repeated)
      out += c;
  }
  if (out.GetLength() > 1 && out[out.GetLength() - 1] == '\\')
    out.Delete(out.GetLength() - 1);
  return out;
}

bool SamePath(const CString& a, const CString& b) {
  return a.GetLength() == b.GetLength() && SamePrefix(a, b);
}

bool IsBelow(const CString& path, const CString& folder, CString* rest) {
  int length = folder.GetLength();
  if (length == 0 || path.GetLength() <= length + 1 || path[length] != '\\' ||
      !SamePrefix(path, folder))
    return false;
  *rest = path.Mid(length + 1);
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
    return IsPlainName(rest) && rest.Find('\\') < 0 ? EntryPlace::kGroup : EntryPlace::kRefused;
  if (IsBelow(path, m_desktop, &rest))
    return IsPlainName(rest) && IsLinkName(rest) ? EntryPlace::kDesktopLink : EntryPlace::kRefused;
  return EntryPlace::kRefused;
}
