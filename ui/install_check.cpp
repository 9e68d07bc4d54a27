#include "ui/install_check.h"

#include <cstring>

CString VolumeRoot(const char* location) {
  return CString(location).Left(3);
}

LocationCheck CheckLocation(const char* location, bool spaceKnown, uint64_t freeBytes,
                            int needSpace) {
  LocationCheck check;
  if (strlen(location) < 3) {
    check.message = "Location not available! ";
    return check;
  }
  // Whole megabytes, compared as signed 32-bit numbers, so a negative needspace always passes.
  int freeMegabytes = static_cast<int>(static_cast<uint32_t>(freeBytes >> 20));
  if (spaceKnown && needSpace > freeMegabytes) {
    check.message.Format("Free disk space not enough,requires at least %dM of disk space!",
                         needSpace);
    return check;
  }
  check.accepted = true;
  return check;
}
