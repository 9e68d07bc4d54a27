#pragma once
// The entries of an uninstall log: "file0" … "file(filenum-1)" of section "files". A cancelled
// or interrupted installation wrote no "filenum"; then the keys from "file0" up to the first
// missing one are the entries. A "filenum" that is no plain count, or larger than the keys
// present, is taken as missing: the keys themselves are the better record.
//
// A log that records more than one installation into its folder (a reinstall or an upgrade
// carries the earlier entries) says so in "groupnum": how many group folders it may name, one
// per installation. Without it, one.

#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/profile.h"

// One value of section "files" as the INI reader reads it; false when the key is missing.
class ILogKeys {
 public:
  virtual bool Read(const char* key, CString* value) = 0;

 protected:
  ~ILogKeys() = default;
};

// The keys of a log's section "files", read once.
class CLogKeys : public ILogKeys {
 public:
  // False when the file cannot be read.
  bool Load(const char* path) { return m_files.Load(path, "files"); }
  void Parse(const std::string& bytes) { m_files.Parse(bytes, "files"); }
  bool Read(const char* key, CString* value) override;

 private:
  CProfileSectionReader m_files;
};

std::vector<CString> ReadLogEntries(ILogKeys* keys);

// The number of group folders the log may name: "groupnum", or 1.
int ReadGroupLimit(ILogKeys* keys);

// The key the installer writes that count under.
extern const char kGroupCountKey[];
