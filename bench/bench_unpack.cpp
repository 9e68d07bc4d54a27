// Unpacks a package the way the installer's worker does, member by member: stage the member's
// zip, unpack it beside itself, delete the staged zip. Nothing is printed while it runs, so the
// time measured is the unpacking and not the terminal.
//
//   bench_unpack PACKAGE DEST_FOLDER   (host paths)

#include <cstdio>
#include <cstring>
#include <string>

#include "package/pack_file.h"
#include "package/unzip_single.h"
#include "platform/fs.h"

namespace {

// Joins folder, "\", name and suffix like the installer's fixed buffers; false when too long.
bool JoinPath(const char* folder, const char* name, const char* suffix,
              char (&out)[kMaxPathChars + 2]) {
  int n = snprintf(out, sizeof out, "%s\\%s%s", folder, name, suffix);
  return n >= 0 && static_cast<size_t>(n) <= kMaxPathChars;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: bench_unpack PACKAGE DEST_FOLDER\n");
    return 2;
  }
  std::string package = platform::InstallerPath(argv[1]);
  std::string dest = platform::InstallerPath(argv[2]);

  CPackFile pak(package.c_str(), true);
  char name[kPackNameSize];
  char finalPath[kMaxPathChars + 2];
  char staged[kMaxPathChars + 2];
  size_t members = 0;
  bool unzipped = true;
  while (pak.ExtractNext(dest.c_str(), nullptr, name)) {
    // ExtractNext already refused names that do not fit with ".zip", so these cannot fail.
    JoinPath(dest.c_str(), name, "", finalPath);
    JoinPath(dest.c_str(), name, ".zip", staged);
    UnzipFault fault = UnzipFault::kNone;
    unzipped = UnzipSingleFile(staged, finalPath, &fault);
    platform::RemoveFile(staged);
    if (!unzipped) {
      fprintf(stderr, "bench_unpack: %s: %s\n", name, DescribeUnzipFault(fault));
      return 1;
    }
    ++members;
  }
  if (pak.StopReason() != PackStop::kEnd) {
    fprintf(stderr, "bench_unpack: stopped after %zu members at '%s': %s\n", members,
            pak.StopName(), DescribePackStop(pak.StopReason()));
    return 1;
  }
  return 0;
}
