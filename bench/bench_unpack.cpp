// Unpacks a package the way the installer's worker does, with the same walk over its members,
// each member's zip read where it lies in the package. Nothing is printed while it runs, so the
// time measured is the unpacking and not the terminal.
//
//   bench_unpack PACKAGE DEST_FOLDER   (host paths)

#include <cstdio>
#include <string>

#include "package/pack_file.h"
#include "package/pack_walk.h"
#include "package/unzip_single.h"
#include "platform/fs.h"

namespace {

// Stops at the first file that does not arrive intact.
class BenchPass : public IMemberVisitor {
 public:
  bool BeforeUnpack(const PackMember&) override { return true; }
  bool AfterUnpack(const PackMember& member, UnzipFault fault) override {
    if (fault == UnzipFault::kNone) {
      ++members;
      return true;
    }
    fprintf(stderr, "bench_unpack: %s: %s\n", member.name, DescribeUnzipFault(fault));
    return false;
  }
  size_t members = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: bench_unpack PACKAGE DEST_FOLDER\n");
    return 2;
  }
  std::string package = platform::InstallerPath(argv[1]);
  std::string dest = platform::InstallerPath(argv[2]);

  CPackFile pak(package.c_str(), true);
  BenchPass pass;
  if (WalkPackage(&pak, dest.c_str(), &pass) == WalkEnd::kVisitorStopped)
    return 1;
  if (pak.StopReason() != PackStop::kEnd) {
    fprintf(stderr, "bench_unpack: stopped after %zu members at '%s': %s\n", pass.members,
            pak.StopName(), DescribePackStop(pak.StopReason()));
    return 1;
  }
  return 0;
}
