#pragma once
// mkpak check on a single file: the one-file program as Windows and the program itself will
// read it (its signature, its seal, the stream the seal vouches for), then the distribution
// folder it carries, unpacked into a temporary folder, as mkpak check reads any folder.

#include <string>

#include "tools/dist_check.h"

// Fills report for the single file at path. False, with a message, only when path cannot be
// read at all.
bool CheckOneFile(const std::string& path, DistReport* report, std::string* error,
                  const CheckOptions& options = CheckOptions());
