#include "platform/profile_edit.h"

#include <algorithm>
#include <cstring>

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/profile_parse.h"

using namespace profile;

namespace {

const Units kCrLf = u"\r\n";

bool HasBreak(const Units& text) {
  return std::any_of(text.begin(), text.end(), IsBreak);
}

// Refuses what would not read back as written: a line break starts a new line, '=' ends a key
// early, and a key line starting with '[' can read as a section header.
bool CanWrite(const Units& key, const char* value) {
  return !HasBreak(key) && !strpbrk(value, "\r\n") && !key.empty() &&
         key.find(u'=') == Units::npos && key[0] != '[';
}

// The file's bytes, or none for a file still to be made. Opening for update makes a read-only
// file fail here, on both systems, before anything is written.
bool ReadForUpdate(const char* path, std::string* bytes) {
  if (platform::FolderExists(path))
    return false;
  if (!platform::FileExists(path))
    return true;
  return platform::ReadWholeFile(path, "r+b", bytes);
}

}  // namespace

bool CProfileSection::Parse(const std::string& bytes, const char* section) {
  if (!section)
    return false;
  Text text = Decode(bytes);
  Units name = Trimmed(AnsiToUnits(section));
  if (HasBreak(name) || (IsUtf16(text.encoding) && bytes.size() % 2 != 0))
    return false;
  m_encoding = text.encoding;
  m_keys.clear();
  m_lead.clear();
  const Units& units = text.units;
  std::vector<Entry> entries = ParseEntries(units);
  Section found;
  if (!FindSection(entries, name, &found)) {
    // A new section goes at the end, on a line of its own.
    if (!units.empty() && !IsBreak(units.back()))
      m_lead = kCrLf;
    m_lead += u"[" + name + u"]" + kCrLf;
    m_insertAt = bytes.size();
    return true;
  }
  // Only the first line of a name counts, as only it is ever read.
  for (size_t i = found.first; i < found.last; ++i) {
    const Entry& entry = entries[i];
    m_keys.emplace(Folded(entry.name), Line{text.offsets[entry.begin], text.offsets[entry.end]});
  }
  // New keys go after the section's last non-blank line (or its header), keeping that line's
  // break; blank lines after it stay between the section and the next.
  size_t anchor = found.last > found.first ? found.last - 1 : found.header;
  if (anchor == kNone) {
    m_insertAt = text.offsets[0];
    return true;
  }
  size_t pos = entries[anchor].end;
  if (pos == units.size()) {
    m_lead = kCrLf;
  } else {
    pos += units[pos] == '\r' && pos + 1 < units.size() && units[pos + 1] == '\n' ? 2 : 1;
  }
  m_insertAt = text.offsets[pos];
  return true;
}

bool CProfileSection::Plan(const char* key, const char* value, ProfileEdit* edit) const {
  if (!key || !value)
    return false;
  Units name = Trimmed(AnsiToUnits(key));
  if (!CanWrite(name, value))
    return false;
  std::string line = Encode(name + u"=" + AnsiToUnits(value), m_encoding);
  auto found = m_keys.find(Folded(name));
  if (found != m_keys.end()) {
    *edit = ProfileEdit{found->second.begin, found->second.end, line};
    return true;
  }
  *edit = ProfileEdit{m_insertAt, m_insertAt,
                      Encode(m_lead, m_encoding) + line + Encode(kCrLf, m_encoding)};
  return true;
}

void CProfileSection::Take(const ProfileEdit& edit) {
  size_t removed = edit.end - edit.begin;
  size_t added = edit.bytes.size();
  // New lines only ever go at the insertion point, after every parsed key.
  if (removed == 0) {
    m_insertAt += added;
    m_lead.clear();
    return;
  }
  // A replaced line moves every line after it.
  for (auto& key : m_keys) {
    Line& line = key.second;
    if (line.begin == edit.begin) {
      line.end = line.begin + added;
    } else if (line.begin >= edit.end) {
      line.begin = line.begin - removed + added;
      line.end = line.end - removed + added;
    }
  }
  m_insertAt = m_insertAt - removed + added;
}

bool WriteProfileString(const char* section, const char* key, const char* value, const char* path) {
  std::string bytes;
  CProfileSection layout;
  ProfileEdit edit;
  if (!section || !key || !value || !path || !ReadForUpdate(path, &bytes) ||
      !layout.Parse(bytes, section) || !layout.Plan(key, value, &edit)) {
    return false;
  }
  bytes.replace(edit.begin, edit.end - edit.begin, edit.bytes);
  return platform::WriteFileReplacing(path, bytes);
}
