#pragma once
// Starting other programs and waiting for them: the publisher's signing command through the
// system's shell, and tools that mkpak reads the report of.

#include <string>
#include <vector>

#include "platform/fs.h"

namespace platform {

struct ProcessResult {
  bool started = false;  // false: nothing ran; error tells why
  int exitStatus = -1;   // the program's exit status; -1 when it did not end normally
  ErrorCode error = 0;
};

// Runs command through the system's shell (sh -c; cmd.exe /c on Windows) with each "{}" in it
// replaced by path (an installer path), quoted for that shell. Its output goes where ours goes.
ProcessResult RunShellCommandOn(const std::string& command, const char* path);

// Runs program (a path) with args and no shell, its standard output and error both appended
// to output.
ProcessResult RunCapturing(const std::string& program, const std::vector<std::string>& args,
                           std::string* output);

// The first file called name (".exe" added on Windows) in a folder that PATH lists, as a host
// path; false when there is none.
bool FindOnPath(const char* name, std::string* path);

}  // namespace platform
