#pragma once
// The uninstall log: section "files" of uninstall.ini in the installation folder, one "file%d"
// key per created item, numbered from 0 in the order they are added, and finally "filenum",
// their count. The file starts as the publisher's template and the log only adds to it: each
// entry goes at the end of the section, in front of the template's bytes that follow it, and
// reaches the file before AddEntry returns, so a crash leaves a log of everything created so
// far. The bytes are those WritePrivateProfileStringA would make of the same keys, but neither
// the cost of an entry nor the memory held grows with the log, where that function rewrites the
// whole file for every key.
//
// A failed write does not stop the installation: the entry is not counted, the log keeps the
// first reason, and the next entry is tried as usual.

#include <string>

#include "platform/file.h"
#include "platform/profile_edit.h"

// The log's name in the installation folder, and its template's beside setup.exe.
constexpr char kLogName[] = "uninstall.ini";

class CUninstallLog {
 public:
  // The next entry is "file<firstEntry>": the keys before it were written before the worker
  // started, carried from an earlier installation's log.
  explicit CUninstallLog(const char* path, int firstEntry = 0);
  CUninstallLog(const CUninstallLog&) = delete;
  CUninstallLog& operator=(const CUninstallLog&) = delete;

  // Writes the next "file%d" entry. False when it did not reach the file.
  bool AddEntry(const char* path);
  // Writes "filenum": the number of entries written. Once, after the last entry.
  bool WriteCount();

  // The number of "file%d" keys in the log, those carried included.
  int Entries() const { return m_nEntries; }
  const std::string& Path() const { return m_path; }
  // Whether any write failed, and why the first one did, in words.
  bool Failed() const { return !m_failure.empty(); }
  const std::string& Failure() const { return m_failure; }

 private:
  bool Write(const char* key, const char* value);
  bool Ready();
  bool Load();
  bool OpenStream();
  bool Append(const ProfileEdit& edit);
  bool Rewrite(const ProfileEdit& edit);
  // Keeps the first reason; returns false.
  bool Fail(const std::string& reason);
  bool FailWithLastError();

  std::string m_path;
  platform::CFile m_file;  // open for update from the first write on, while all is well
  bool m_bLoaded = false;  // the template has been read and the layout is known
  // A write failed part-way: the bytes after the insertion point may not be the tail.
  bool m_bDirty = false;
  // The template's bytes after the section: they follow every new line, so they are written
  // again behind it. They do not grow with the log.
  std::string m_tail;
  CProfileSection m_layout;
  int m_nEntries = 0;
  std::string m_failure;
};
