#include "package/pack_walk.h"

#include "platform/fs.h"

WalkEnd WalkPackage(CPackFile* pack, const char* location, IMemberVisitor* visitor) {
  char name[kPackNameSize];
  while (pack->NextMember(location, name)) {
    PackMember member{name, pack->MemberPath(), pack->MemberSize()};
    if (!visitor->BeforeUnpack(member))
      return WalkEnd::kVisitorStopped;
    // An existing read-only, hidden or system file of that name must be replaceable.
    platform::SetNormalAttributes(member.path);
    UnzipFault fault = UnzipFault::kNone;
    pack->UnzipMember(member.path, &fault);
    if (!visitor->AfterUnpack(member, fault))
      return WalkEnd::kVisitorStopped;
  }
  return WalkEnd::kPackageStopped;
}
