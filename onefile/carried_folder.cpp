#include "onefile/carried_folder.h"

#include "onefile/carried_format.h"
#include "package/member_name.h"

namespace onefile {

const char* DescribeCarryFault(CarryFault fault) {
  switch (fault) {
    case CarryFault::kNone:
      return "no fault";
    case CarryFault::kNoFiles:
      return "there are no files to carry";
    case CarryFault::kTooManyFiles:
      return "there are too many files";
    case CarryFault::kUnsafeName:
      return "a file name is unsafe";
    case CarryFault::kDuplicateName:
      return "a file name appears twice";
    case CarryFault::kSourceFailed:
      return "a source file could not be read";
    case CarryFault::kWriteFailed:
      return "the stream could not be written";
    case CarryFault::kReadFailed:
      return "the stream could not be read";
    case CarryFault::kOutOfMemory:
      return "there is not enough memory";
    case CarryFault::kTruncated:
      return "the stream is truncated";
    case CarryFault::kDamaged:
      return "the stream is damaged";
    case CarryFault::kBadHeader:
      return "the stream's header is not valid";
    case CarryFault::kSizeMismatch:
      return "the stream's header disagrees with its files";
    case CarryFault::kTrailingData:
      return "bytes follow the end of the stream";
    case CarryFault::kSinkFailed:
      return "a file could not be written";
  }
  return "unknown fault";
}

CarryFault CheckCarriedName(const std::string& name) {
  if (name.empty() || name.size() > carried::kNameMax || name.find('\\') != std::string::npos)
    return CarryFault::kUnsafeName;
  if (CheckMemberName(name.data(), name.size()) != NameCheck::kOk)
    return CarryFault::kUnsafeName;
  return CarryFault::kNone;
}

}  // namespace onefile
