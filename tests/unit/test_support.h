#pragma once
// Helpers shared by the unit tests: scratch folders and whole-file reads and writes, all in the
// installer's own path form (backslashes), so the same tests run natively and under Wine.

#include <string>

#include "platform/fs.h"

// A fresh folder for one test, removed with everything in it when the object goes away.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return m_path; }
  // path() + "\" + relative
  std::string Join(const std::string& relative) const;

 private:
  std::string m_path;
};

bool WriteWholeFile(const std::string& path, const std::string& bytes);
// A second name, link, for the file existing (a hard link).
bool MakeHardLink(const std::string& existing, const std::string& link);
// The file's bytes; empty when it cannot be read (see FileExists to tell the two apart).
std::string ReadWholeFile(const std::string& path);
