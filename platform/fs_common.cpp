// File-system helpers built on the per-system calls, the same on every build.
#include "platform/fs.h"

namespace platform {

bool RemoveTree(const char* path) {
  std::vector<FolderEntry> entries;
  bool ok = true;
  if (ListFolder(path, &entries)) {
    for (const FolderEntry& entry : entries) {
      std::string child = std::string(path) + "\\" + entry.name;
      if (entry.folder) {
        ok = RemoveTree(child.c_str()) && ok;
      } else {
        SetNormalAttributes(child.c_str());
        ok = RemoveFile(child.c_str()) && ok;
      }
    }
  }
  return RemoveFolder(path) && ok;
}

}  // namespace platform
