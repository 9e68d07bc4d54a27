#pragma once
// The entries of an uninstall log: "file0" … "file(filenum-1)" of section "files". A cancelled
// or interrupted installation wrote no "filenum"; then the keys from "file0" up to the first
// missing one are the entries. A "filenum" that is no plain count, or larger than the keys
// present, is taken as missing: the keys themselves are the better record.

#include <vector>

#include "platform/cstring.h"

// One value of section "files" as the INI reader reads it; false when the key is missing.
class ILogKeys {
 public:
  virtual bool Read(const char* key, CString* value) = 0;

 protected:
  ~ILogKeys() = default;
};

std::vector<CString> ReadLogEntries(ILogKeys* keys);
