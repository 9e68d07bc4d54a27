// POSIX side, for the native build: files here are never held against a replace, so the system
// is not asked.
#include "platform/file_users.h"

namespace platform {

namespace {

FileUsersFn g_fileUsersForTesting = nullptr;

}  // namespace

void SetFileUsersForTesting(FileUsersFn fn) {
  g_fileUsersForTesting = fn;
}

bool FileUsers(const char* path, std::vector<std::string>* names) {
  return g_fileUsersForTesting ? g_fileUsersForTesting(path, names) : false;
}

}  // namespace platform
