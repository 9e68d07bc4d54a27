#include "install/log_entries.h"

namespace {

// Digits only, as the installer writes it; -1 for anything else.
long ParseCount(const CString& text) {
  if (text.IsEmpty() || text.GetLength() > 9)
    return -1;
  long count = 0;
  for (int i = 0; i < text.GetLength(); ++i) {
    if (text[i] < '0' || text[i] > '9')
      return -1;
    count = count * 10 + (text[i] - '0');
  }
  return count;
}

}  // namespace

const char kGroupCountKey[] = "groupnum";

bool CLogKeys::Read(const char* key, CString* value) {
  std::string text;
  if (!m_files.Read(key, &text))
    return false;
  *value = text.c_str();
  return true;
}

std::vector<CString> ReadLogEntries(ILogKeys* keys) {
  CString text;
  long count = keys->Read("filenum", &text) ? ParseCount(text) : -1;
  std::vector<CString> entries;
  for (long index = 0; count < 0 || index < count; ++index) {
    CString key;
    key.Format("file%ld", index);
    CString value;
    if (!keys->Read(key, &value))
      break;
    entries.push_back(value);
  }
  return entries;
}

int ReadGroupLimit(ILogKeys* keys) {
  CString text;
  long count = keys->Read(kGroupCountKey, &text) ? ParseCount(text) : -1;
  return count > 1 ? static_cast<int>(count) : 1;
}
