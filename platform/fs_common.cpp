// File-system helpers built on the per-system calls, the same on every build.
#include "platform/file.h"
#include "platform/held_folder.h"
#include "platform/path_text.h"

namespace platform {

bool ReadToEnd(FILE* file, std::string* bytes) {
  char chunk[16384];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes->append(chunk, n);
  return !ferror(file);
}

bool ReadWholeFile(const char* path, const char* mode, std::string* bytes) {
  if (FolderExists(path))
    return false;
  CFile file;
  return file.Open(path, mode) && ReadToEnd(file.Get(), bytes);
}

// Outwards from path: a new folder beside existing ones costs one call, where trying every level
// from the root would cost one for each.
bool CreateFolders(const char* path) {
  if (CreateFolder(path) || ClassifyError(LastError()) != FsError::kNotFound)
    return FolderExists(path);
  std::string parent = path;
  size_t at = 0;
  if (!LastSeparator(parent.c_str(), parent.size(), &at))
    return false;
  parent.resize(at);
  CreateFolders(parent.c_str());
  return CreateFolder(path) || FolderExists(path);
}

bool CopyFileReplacing(const char* from, const char* to) {
  CFile in;
  if (!in.Open(from, "rb"))
    return false;
  CFile out;
  if (!out.OpenReplacing(to))
    return false;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, in.Get())) > 0) {
    if (fwrite(buffer, 1, n, out.Get()) != n)
      return false;
  }
  return !ferror(in.Get()) && out.Close();
}

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
