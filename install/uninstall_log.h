#pragma once
// The uninstall log: section "files" of uninstall.ini in the installation folder, one
// "file%d" key per created item and finally "filenum". Each entry reaches the file before Write
// returns, so a crash leaves a log of everything created so far. It behaves as
// WritePrivateProfileStringA does (creates the file and the section when missing, replaces an
// existing key's value in place, otherwise adds the key at the end of the section, leaves all
// other content untouched, CRLF line ends), but neither its cost per entry nor its memory grows
// with the log: that function rewrites the whole file for every key.

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/profile.h"

class CUninstallLog : private IProfileReader {
 public:
  explicit CUninstallLog(const char* path);
  ~CUninstallLog();
  CUninstallLog(const CUninstallLog&) = delete;
  CUninstallLog& operator=(const CUninstallLog&) = delete;

  // Sets key to value in section "files". False when the file could not be written.
  bool Write(const char* key, const char* value);

 private:
  bool Open();
  void Close();
  bool Apply(const ProfileEdit& edit);
  bool Rewrite(const ProfileEdit& edit);
  bool ReadAt(size_t offset, size_t size, std::string* bytes) override;

  std::string m_path;
  // Open from the first write on while the file is as we left it; closed again when anything
  // goes wrong, so the next write starts afresh from the file on disk.
  FILE* m_file = nullptr;
  int64_t m_size = 0;  // the file's size, as we left it
  // The bytes after the section: a new key's line goes in front of them, so they are written
  // again after it. They come from the template, so they do not grow with the log.
  std::string m_tail;
  bool m_readFailed = false;
  CProfileSection m_layout;
};
