#include "package/pack_walk.h"

WalkEnd WalkPackage(CPackFile* pack, const char* location, IMemberVisitor* visitor) {
  char name[kPackNameSize];
  while (pack->NextMember(location, name)) {
    PackMember member{name, pack->MemberPath(), pack->MemberSize()};
    if (!visitor->BeforeUnpack(member))
      return WalkEnd::kVisitorStopped;
    UnzipFault fault = UnzipFault::kNone;
    bool intact = pack->UnzipMember(&fault);
    while (!intact && visitor->UnpackAgain(member, fault))
      intact = pack->UnzipMember(&fault);
    if (!visitor->AfterUnpack(member, fault))
      return WalkEnd::kVisitorStopped;
  }
  return WalkEnd::kPackageStopped;
}
