#include "platform/file.h"

#include "platform/held_folder.h"

namespace platform {

CFile& CFile::operator=(CFile&& other) noexcept {
  if (this != &other) {
    Close();
    m_pFile = other.m_pFile;
    other.m_pFile = nullptr;
  }
  return *this;
}

bool CFile::Open(const char* path, const char* mode) {
  Close();
  m_pFile = OpenFile(path, mode);
  return m_pFile != nullptr;
}

bool CFile::OpenReplacing(const char* path) {
  Close();
  m_pFile = platform::OpenReplacing(path);
  return m_pFile != nullptr;
}

bool CFile::OpenOwnForUpdate(const char* path) {
  Close();
  m_pFile = platform::OpenOwnForUpdate(path);
  return m_pFile != nullptr;
}

bool CFile::OpenOwnForReading(const char* path) {
  Close();
  m_pFile = platform::OpenOwnForReading(path);
  return m_pFile != nullptr;
}

bool CFile::OpenReplacingIn(const CHeldFolder& folder, const char* name, EntryFault* fault) {
  Close();
  m_pFile = platform::OpenReplacingIn(folder, name, fault);
  return m_pFile != nullptr;
}

bool CFile::Close() {
  if (!m_pFile)
    return true;
  FILE* file = m_pFile;
  m_pFile = nullptr;
  return fclose(file) == 0;
}

FILE* CFile::Release() {
  FILE* file = m_pFile;
  m_pFile = nullptr;
  return file;
}

CReplacingFile::CReplacingFile(const char* target, const char* suffix)
    : m_target(target), m_partial(m_target + suffix) {}

CReplacingFile::~CReplacingFile() {
  if (!m_bCreated)
    return;
  m_file.Close();
  RemoveFile(m_partial.c_str());
}

bool CReplacingFile::Open() {
  // Never written into: a partial file left there, or a link of its name made by someone else,
  // loses the name first.
  m_bCreated = m_file.OpenReplacing(m_partial.c_str());
  return m_bCreated;
}

bool CReplacingFile::Commit() {
  if (!m_bCreated)
    return false;
  bool ok = m_file.Close() && RenameReplacing(m_partial.c_str(), m_target.c_str());
  if (ok) {
    m_bCreated = false;
    return true;
  }
  // Keep the reason: removing the partial file may overwrite it.
  ErrorCode error = LastError();
  RemoveFile(m_partial.c_str());
  m_bCreated = false;
  SetLastErrorCode(error);
  return false;
}

bool WriteFileReplacing(const char* path, const std::string& bytes) {
  CReplacingFile file(path);
  return file.Open() && fwrite(bytes.data(), 1, bytes.size(), file.Get()) == bytes.size() &&
         file.Commit();
}

}  // namespace platform
