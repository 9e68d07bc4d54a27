// Runs the installer's walk over arbitrary bytes as data.pak. Beyond the sanitizers'
// memory checks it traps when a member lands outside the destination folder: names are
// untrusted, and staying inside the chosen folder is the promise the reader must keep.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "package/member_name.h"
#include "package/pack_file.h"
#include "package/pack_walk.h"
#include "package/unzip_single.h"
#include "platform/fs.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Enough for folders, repeated names and a damaged member after good ones; few enough that an
// input stays well under a millisecond.
constexpr int kMaxMembers = 16;

// The host's resolved form of an existing path ("" when missing). Listing the scratch folder
// only sees an escape of one level; resolving the written file catches any depth.
std::string Resolved(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(platform::HostPath(path.c_str()).c_str(), resolved) ? resolved : "";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Checks each member the walk hands out and records what happened to it, with the bytes of
// every file written.
class FuzzPass : public IMemberVisitor {
 public:
  explicit FuzzPass(const std::string& insideDest) : m_insideDest(insideDest) {}

  bool BeforeUnpack(const PackMember& member) override {
    if (m_members++ == kMaxMembers)
      return false;
    size_t length = strnlen(member.name, kPackNameSize);
    fuzz::Check(length < kPackNameSize, "member name is not terminated");
    fuzz::Check(CheckMemberName(member.name, length) == NameCheck::kOk,
                "read a member whose name the name check refuses");
    return true;
  }

  bool AfterUnpack(const PackMember& member, UnzipFault fault) override {
    bool ok = fault == UnzipFault::kNone;
    if (ok)
      fuzz::Check(StartsWith(Resolved(member.path), m_insideDest),
                  "file written outside destination");
    outcome += std::string(member.name) + " " + std::to_string(static_cast<int>(fault)) + "\n";
    std::string bytes;
    if (ok && fuzz::ReadFile(member.path, &bytes))
      outcome += bytes + "\n";
    return true;
  }

  std::string outcome;

 private:
  const std::string& m_insideDest;
  int m_members = 0;
};

// The installer's walk over the package; inMemoryMax picks how member archives are read.
std::string InstallAll(const std::string& pak, const std::string& dest,
                       const std::string& insideDest, uint32_t inMemoryMax) {
  CPackFile pack(pak.c_str(), true);
  pack.SetMemberInMemoryMax(inMemoryMax);
  FuzzPass pass(insideDest);
  if (WalkPackage(&pack, dest.c_str(), &pass) == WalkEnd::kPackageStopped) {
    fuzz::Check(pack.StopReason() != PackStop::kNone, "stopped without a reason");
    fuzz::Check(strnlen(pack.StopName(), kPackNameSize) < kPackNameSize,
                "stop name is not terminated");
    pass.outcome += "stop " + std::to_string(static_cast<int>(pack.StopReason()));
  }
  pack.Close();
  return pass.outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& scratch = fuzz::Scratch();
  const std::string pak = scratch + "\\data.pak";
  const std::string dest = scratch + "\\dest";
  fuzz::Check(fuzz::WriteFile(pak, data, size), "cannot write data.pak");
  fuzz::Check(platform::CreateFolder(dest.c_str()), "cannot create the destination folder");
  const std::string insideDest = Resolved(dest) + "/";

  // Archives read from memory, then the same read in place: small inputs reach both ways.
  std::string inMemory = InstallAll(pak, dest, insideDest, kMemberInMemoryMax);
  fuzz::Check(platform::RemoveTree(dest.c_str()), "cannot remove the destination folder");
  fuzz::Check(platform::CreateFolder(dest.c_str()), "cannot create the destination folder");
  std::string inPlace = InstallAll(pak, dest, insideDest, 0);
  fuzz::Check(inMemory == inPlace, "reading archives in place differs from reading them whole");

  std::vector<platform::FolderEntry> entries;
  fuzz::Check(platform::ListFolder(scratch.c_str(), &entries), "cannot list the scratch folder");
  for (const platform::FolderEntry& entry : entries) {
    fuzz::Check(entry.name == "data.pak" || entry.name == "dest",
                "a file was created outside the destination folder");
  }
  // Left behind, one input's files would change what the next input finds.
  fuzz::Check(platform::RemoveTree(dest.c_str()), "cannot remove the destination folder");
  return 0;
}
