#include "platform/setup_config.h"

#include <string>

#include "platform/fs.h"
#include "platform/path_text.h"
#include "platform/profile.h"

CString GetModuleDir() {
  std::string path = platform::ModuleFileName();
  size_t slash = 0;
  if (!platform::LastSeparator(path.c_str(), path.size(), &slash))
    return CString();
  return CString(path.c_str(), static_cast<int>(slash + 1));
}

CString GetSetupIniPath() {
  return GetModuleDir() + "setup.ini";
}

CString ReadSetupString(const char* section, const char* key, const char* def) {
  // MAX_PATH bytes: a longer value is cut to 259 characters.
  char buffer[260];
  ReadProfileString(section, key, def, buffer, sizeof buffer, GetSetupIniPath());
  return CString(buffer);
}

int ReadSetupInt(const char* section, const char* key) {
  return ReadProfileInt(section, key, 0, GetSetupIniPath());
}
