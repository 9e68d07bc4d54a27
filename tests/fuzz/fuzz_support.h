#pragma once
// What the fuzz targets share: one scratch folder per process, made on first use and removed at
// a normal exit, whole-file writes in the installer's path form, and a check that stops the
// run with a reason. The targets build natively only (libFuzzer and the replay runner).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file.h"
#include "platform/fs.h"

namespace fuzz {

// A trap is what libFuzzer records as a finding; the message says which promise broke.
inline void Check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "fuzz check failed: %s\n", what);
    __builtin_trap();
  }
}

class ProcessScratch {
 public:
  ProcessScratch() {
    if (!platform::MakeTempFolder("installer-fuzz-", &m_path)) {
      fprintf(stderr, "cannot make a scratch folder: %s\n",
              platform::ErrorText(platform::LastError()).c_str());
      abort();
    }
  }
  ~ProcessScratch() { platform::RemoveTree(m_path.c_str()); }
  ProcessScratch(const ProcessScratch&) = delete;
  ProcessScratch& operator=(const ProcessScratch&) = delete;
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

// Made once: a fresh folder per input would cost more than the code under test.
inline const std::string& Scratch() {
  static ProcessScratch scratch;
  return scratch.path();
}

inline bool WriteFile(const std::string& path, const void* data, size_t size) {
  platform::CFile file;
  if (!file.Open(path.c_str(), "wb"))
    return false;
  bool ok = size == 0 || fwrite(data, 1, size, file.Get()) == size;
  return file.Close() && ok;
}

inline bool ReadFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  return platform::ReadWholeFile(path.c_str(), "rb", bytes);
}

}  // namespace fuzz
