#pragma once
// Which logged paths count. The log is a text file that its user may be able to edit, and the
// uninstaller may run elevated, so an entry is acted on only where an installation puts things:
// inside the install folder, its group folder directly inside the user's Programs folder, and
// links directly inside that group or on the Desktop. The installer applies the same rules to
// the entries it carries from an earlier installation's log, so that a tampered old log does not
// become a trusted new one.

#include <string>
#include <vector>

#include "platform/cstring.h"

enum class EntryPlace {
  kInstall,      // inside the install folder
  kGroup,        // a folder directly inside the Programs folder
  kGroupLink,    // a .lnk directly inside a group folder the log names
  kDesktopLink,  // a .lnk directly inside the Desktop folder
  kRefused,      // anywhere else, or not a plain path
};

// The path as it is compared and acted on: '/' read as '\', repeated backslashes collapsed (a
// leading pair, which starts a network path, stays), no trailing backslash. Paths are text of
// the ANSI code page (platform/path_text.h): the second byte of a two-byte character is never a
// separator.
CString NormalisePath(const CString& path);

// NormalisePath of the long form: both spellings of a path (8.3 or long, any doubling of
// backslashes) compare alike.
CString CanonicalPath(const CString& path);

class CEntryRules {
 public:
  // All three folders normalised and in their long-name form; programs or desktop empty when
  // the user's folders are unknown, and then only the install folder counts.
  CEntryRules(const CString& installFolder, const CString& programs, const CString& desktop);

  // Where a normalised entry lies. Group links count only in a folder passed to AddGroup.
  EntryPlace Classify(const CString& path) const;
  // A group entry of the log, so that links inside it are allowed.
  void AddGroup(const CString& group) { m_groups.push_back(group); }

  const CString& InstallFolder() const { return m_install; }
  const CString& Programs() const { return m_programs; }
  const CString& Desktop() const { return m_desktop; }

 private:
  CString m_install;
  CString m_programs;
  CString m_desktop;
  std::vector<CString> m_groups;  // one per group entry: normally a single folder
};

// Where each normalised entry lies. Each installation makes one group and logs it, so at most
// groupLimit distinct folders directly inside Programs count as groups (the first ones the log
// names; a repeat of one counts as that one) and are passed to rules->AddGroup; a further one
// is refused.
std::vector<EntryPlace> ClassifyEntries(const std::vector<CString>& entries, int groupLimit,
                                        CEntryRules* rules);

// The same path, ASCII letters compared without regard to case, two-byte characters exactly.
bool SamePath(const CString& a, const CString& b);
// A key that is equal for two paths exactly when SamePath holds: for sets of paths.
std::string PathKey(const CString& path);

// Whether path lies below folder (compared as SamePath does, and ending where a character of
// path starts); on success *rest is what follows folder's backslash.
bool IsBelow(const CString& path, const CString& folder, CString* rest);
