#pragma once
// The one walk over a package: read the next member, let the caller see it, make its folders and
// unpack it (replacing a read-only, hidden or system file of its name), let the caller see the
// result. The installer, the pack tool's extract and verify, the unpack benchmark and the fuzzer
// all walk this way, so a rule the reader gains holds for each of them at once.

#include <cstdint>

#include "package/pack_file.h"
#include "package/unzip_single.h"

struct PackMember {
  const char* name;   // as the header holds it, a safe relative path
  const char* path;   // location + "\" + name: the file it unpacks into
  uint32_t dataSize;  // of its archive in the package
};

class IMemberVisitor {
 public:
  // Before the member's file is touched; false stops the walk there (a cancel).
  virtual bool BeforeUnpack(const PackMember& member) = 0;
  // After an unpack that failed, before AfterUnpack: true unpacks the member again. None does
  // by default.
  virtual bool UnpackAgain(const PackMember&, UnzipFault) { return false; }
  // After the unpack; fault is kNone when the file arrived intact. False stops the walk.
  virtual bool AfterUnpack(const PackMember& member, UnzipFault fault) = 0;

 protected:
  ~IMemberVisitor() = default;
};

enum class WalkEnd {
  kPackageStopped,  // NextMember returned false: the package's StopReason() says why
  kVisitorStopped,  // a visitor call returned false
};

// Walks pack, opened for reading, from its next member on, placing files below location.
WalkEnd WalkPackage(CPackFile* pack, const char* location, IMemberVisitor* visitor);
