// Unpacks a package the way the installer's worker does, member by member, each member's zip
// read where it lies in the package. Nothing is printed while it runs, so the
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
  size_t members = 0;
  while (pak.NextMember(dest.c_str(), name)) {
    // NextMember already refused names that do not fit, so this cannot fail.
    JoinPath(dest.c_str(), name, "", finalPath);
    UnzipFault fault = UnzipFault::kNone;
    if (!pak.UnzipMember(finalPath, &fault)) {
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
