#pragma once
// Owners for stdio streams. A close is where buffered bytes reach the disk, so a close that
// matters is asked for and its result checked; the destructor closes what is left on a failure
// path, where the result no longer changes the outcome.

#include <cstdio>
#include <string>

#include "platform/fs.h"

namespace platform {

class CHeldFolder;
enum class EntryFault;

class CFile {
 public:
  CFile() = default;
  // Takes over a stream opened elsewhere.
  explicit CFile(FILE* file) : m_pFile(file) {}
  ~CFile() { Close(); }
  CFile(CFile&& other) noexcept : m_pFile(other.m_pFile) { other.m_pFile = nullptr; }
  CFile& operator=(CFile&& other) noexcept;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // OpenFile on an installer path; closes any open stream first. False, with the system's
  // error code kept, when it cannot be opened.
  bool Open(const char* path, const char* mode);
  // OpenReplacing on path: a new file for writing in place of whatever had the name, never
  // written into (platform/held_folder.h).
  bool OpenReplacing(const char* path);
  // OpenOwnForUpdate on path: an existing file with no other name, for reading and writing.
  bool OpenOwnForUpdate(const char* path);
  // OpenOwnForReading on path: the same, for reading only.
  bool OpenOwnForReading(const char* path);
  // The same for the file name inside a held folder.
  bool OpenReplacingIn(const CHeldFolder& folder, const char* name, EntryFault* fault);
  // True when nothing was open, or when everything written reached the file.
  bool Close();
  // Gives the stream up, unclosed, to the caller, who closes it.
  FILE* Release();
  bool IsOpen() const { return m_pFile != nullptr; }
  FILE* Get() const { return m_pFile; }

 private:
  FILE* m_pFile = nullptr;
};

// A new file written beside its target and renamed over it only by Commit, so that a failure at
// any point leaves the target as it was. Dropped without Commit, the partial file is removed.
class CReplacingFile {
 public:
  // The partial file is target + suffix.
  explicit CReplacingFile(const char* target, const char* suffix = ".tmp");
  ~CReplacingFile();
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  bool Open();  // creates (or empties) the partial file for writing
  FILE* Get() const { return m_file.Get(); }
  const std::string& PartialPath() const { return m_partial; }
  // Closes the partial file and renames it over the target. False, with the partial file gone
  // and the target untouched, when either fails; LastError() then tells why.
  bool Commit();

 private:
  std::string m_target;
  std::string m_partial;
  CFile m_file;
  bool m_bCreated = false;
};

// Replaces path's content with bytes through a CReplacingFile.
bool WriteFileReplacing(const char* path, const std::string& bytes);

}  // namespace platform
