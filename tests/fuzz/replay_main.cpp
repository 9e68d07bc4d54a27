// Runs a fuzz target's entry function over every file below the given folders, without
// libFuzzer, so each seed and each past finding is replayed by the ordinary test run, also in
// builds that have no libFuzzer (gcc, the asan preset).
//
// Usage: fuzz_replay_<target> FOLDER...
// A missing folder counts as empty: a target has no regressions folder until its first finding.
// No input at all fails, so a mistyped corpus path cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool CollectFiles(const std::string& folder, std::vector<std::string>* files) {
  std::vector<platform::FolderEntry> entries;
  if (!platform::ListFolder(folder.c_str(), &entries))
    return false;
  for (const platform::FolderEntry& entry : entries) {
    std::string path = folder + "\\" + entry.name;
    if (entry.folder) {
      if (!CollectFiles(path, files))
        return false;
    } else if (entry.regular) {
      files->push_back(path);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string folder = platform::InstallerPath(argv[i]);
    if (!platform::FolderExists(folder.c_str())) {
      printf("%s: no such folder, nothing to replay from it\n", argv[i]);
      continue;
    }
    if (!CollectFiles(folder, &files)) {
      fprintf(stderr, "cannot list %s: %s\n", argv[i],
              platform::ErrorText(platform::LastError()).c_str());
      return 1;
    }
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    std::string bytes;
    if (!fuzz::ReadFile(file, &bytes)) {
      fprintf(stderr, "cannot read %s\n", platform::HostPath(file.c_str()).c_str());
      return 1;
    }
    // A copy of exactly the input's size, as libFuzzer passes it, so ASan sees a read past it.
    std::unique_ptr<uint8_t[]> data(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    // Named before it runs: a crash leaves this as the last line.
    printf("replaying %s (%zu bytes)\n", platform::HostPath(file.c_str()).c_str(), bytes.size());
    fflush(stdout);
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
  }
  printf("%zu inputs replayed\n", files.size());
  return files.empty() ? 1 : 0;
}
