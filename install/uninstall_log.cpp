#include "install/uninstall_log.h"

#include "platform/profile.h"

CUninstallLog::CUninstallLog(const char* path) : m_path(path) {}

CUninstallLog::~CUninstallLog() = default;

bool CUninstallLog::Write(const char* key, const char* value) {
  return WriteProfileString("files", key, value, m_path.c_str());
}
