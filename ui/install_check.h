#pragma once
// The checks behind the main dialog's Install button, as a function of what the dialog reads:
// the Location text, the free-space query's answer and setup.ini's needspace. No window needed.

#include <cstdint>

#include "platform/cstring.h"

struct LocationCheck {
  bool accepted = false;
  CString message;  // shown with caption "Setup" when refused
};

// The volume root the free-space query asks about: the text's first three characters.
CString VolumeRoot(const char* location);

// spaceKnown is false when the query failed: the space check is then skipped.
LocationCheck CheckLocation(const char* location, bool spaceKnown, uint64_t freeBytes,
                            int needSpace);
