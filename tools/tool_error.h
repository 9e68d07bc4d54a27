#pragma once
// How mkpak's work reports a refusal: a message for the user, naming paths as the host spells
// them and the system's own words for why.

#include <string>

#include "platform/fs.h"

inline bool FailWith(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

inline std::string Quoted(const std::string& path) {
  return "'" + platform::HostPath(path.c_str()) + "'";
}

// The last error of the system, in its words.
inline std::string Reason() {
  return platform::ErrorText(platform::LastError());
}
