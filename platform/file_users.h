#pragma once
// Which programs hold a file open, as far as the system can tell, so that a question about a
// file in use can name what the user should close.

#include <string>
#include <vector>

namespace platform {

// Appends the programs that have path open to names, each as "<name> (process <id>)". False
// when the system cannot say; true with no names when it knows of none (as under Wine).
bool FileUsers(const char* path, std::vector<std::string>* names);

// For tests: answers in place of the system. None by default.
using FileUsersFn = bool (*)(const char* path, std::vector<std::string>* names);
void SetFileUsersForTesting(FileUsersFn fn);

}  // namespace platform
