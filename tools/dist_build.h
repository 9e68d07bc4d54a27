#pragma once
// mkpak dist: a distribution folder made whole from a payload: data.pak (the uninstaller
// first), setup.exe, setup.ini with the package's figures, and the log template and picture
// when given; and the folder as one program when asked. The same inputs give the same bytes in
// every file, unless the programs are signed.

#include <string>

#include "tools/pack_writer.h"

struct DistInputs {
  std::string payload;
  std::string out;   // the distribution folder
  std::string ini;   // setup.ini to start from: copied with totalfiles (and needspace) set
  std::string face;  // face.bmp; none when empty
  std::string uninstallTemplate;  // uninstall.ini; none when empty
  std::string uninstaller;        // empty: uninstall.exe beside mkpak, when there is one
  std::string setup;              // empty: setup.exe beside mkpak
  // Run on a copy of each program before it goes in, "{}" standing for the copy's path; none
  // when empty. Signatures carry the time of signing, so then the bytes differ on every run.
  std::string signCommand;
  // Also the distribution as one program at this path; none when empty.
  std::string oneFile;
  std::string carrier;  // the one-file program; empty: onefile.exe beside mkpak
};

struct DistSummary {
  BuildSummary pack;
  std::string uninstaller;    // the one packed; empty when none
  long long needspace = -1;   // the value written, or -1 when setup.ini's own was kept
  uint64_t oneFileBytes = 0;  // the single file's size, when one was made
};

// Builds the folder beside out and renames it into place only when complete, so a failure
// leaves nothing behind. An existing out is replaced only when it is a folder that holds
// nothing but a distribution's files (as an earlier run made it); anything else there is
// refused, never removed.
bool BuildDistribution(const DistInputs& inputs, DistSummary* summary, std::string* error);
