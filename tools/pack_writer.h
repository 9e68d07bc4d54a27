#pragma once
// Building data.pak: one member per regular file of a source folder, in a stable sorted order,
// each a one-file zip made with minizip. Used by mkpak and by the tests, which build their
// packages with the same code a package author uses.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct PackEntry {
  std::string name;        // member name: the path below the source folder, with backslashes
  std::string sourcePath;  // where the bytes come from, in the installer's path form
  uint64_t size = 0;
};

// False, with a message, for the first entry the installer could not install: an unsafe or too
// long name, or a file of 4 GiB or more.
bool CheckPackEntries(const std::vector<PackEntry>& entries, std::string* error);

// Appends one member: the 268-byte header, then a one-file zip of source's bytes (deflated at
// level 1-9, stored at level 0, fixed time stamp so equal input gives equal bytes).
bool AppendPackMember(FILE* pak, const std::string& name, FILE* source, int level,
                      std::string* error);

// The uninstaller's member: at the top, as it reads the log beside itself, and first of all.
// Names are matched without regard to case, as Windows matches file names.
constexpr char kUninstallerMember[] = "uninstall.exe";
bool IsUninstallerMember(const std::string& name);

struct BuildOptions {
  int level = 6;
  // When set: this file becomes the member uninstall.exe, first in the package, so that even an
  // installation that stops after its first file leaves an uninstaller beside the log.
  std::string uninstaller;
  // Called after each member with (members done, total members, bytes done, total bytes).
  std::function<void(size_t, size_t, uint64_t, uint64_t)> progress;
};

struct BuildSummary {
  size_t members = 0;
  uint64_t bytes = 0;                // size of the package
  uint64_t unpackedBytes = 0;        // of all its files together, as installed
  size_t longestName = 0;            // bytes of the longest member name
  std::vector<std::string> skipped;  // entries that are neither folders nor regular files
};

// Builds outPath from sourceDir. The package is written beside outPath under another name and
// renamed into place only when complete, so a failure leaves no half-written output behind.
bool BuildPack(const std::string& sourceDir, const std::string& outPath,
               const BuildOptions& options, BuildSummary* summary, std::string* error);
