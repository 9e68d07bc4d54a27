// The log keeps the file open and its bytes in memory: a new key is inserted at the end of the
// section, so each write sends only the new line and the sections after it (a fixed tail) to
// the file, and the file is parsed only once.
#include "install/uninstall_log.h"

#include "platform/fs.h"

namespace {

const char kSection[] = "files";

// Large enough that one write of a line and the usual tail leaves the process in a single
// system call: a crash cannot split it.
const size_t kBufferSize = 1 << 16;

FILE* OpenForUpdate(const std::string& path) {
  FILE* file = platform::OpenFile(path.c_str(), "r+b");
  if (file)
    setvbuf(file, nullptr, _IOFBF, kBufferSize);
  return file;
}

bool ReadRest(FILE* file, std::string* bytes) {
  char chunk[16384];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes->append(chunk, n);
  return !ferror(file);
}

bool WriteAt(FILE* file, size_t offset, const char* data, size_t size) {
  return platform::SeekFile(file, static_cast<int64_t>(offset), SEEK_SET) &&
         fwrite(data, 1, size, file) == size && fflush(file) == 0;
}

}  // namespace

CUninstallLog::CUninstallLog(const char* path) : m_path(path) {}

CUninstallLog::~CUninstallLog() {
  Close();
}

bool CUninstallLog::Write(const char* key, const char* value) {
  // WriteProfileString makes a missing file (tiny then) and stands in whenever the fast path
  // cannot be trusted: it is slow but correct, and honest about failure.
  if (!m_file && !Open())
    return WriteProfileString(kSection, key, value, m_path.c_str());
  ProfileEdit edit;
  if (!m_layout.SetKey(key, value, &edit))
    return false;
  if (Apply(edit))
    return true;
  Close();
  return WriteProfileString(kSection, key, value, m_path.c_str());
}

bool CUninstallLog::Open() {
  if (platform::FolderExists(m_path.c_str()) || !platform::FileExists(m_path.c_str()))
    return false;
  m_file = OpenForUpdate(m_path);
  if (!m_file)
    return false;
  if (!ReadRest(m_file, &m_bytes) || !m_layout.Parse(m_bytes, kSection)) {
    Close();
    return false;
  }
  return true;
}

void CUninstallLog::Close() {
  if (m_file)
    fclose(m_file);
  m_file = nullptr;
  m_bytes.clear();
}

bool CUninstallLog::Apply(const ProfileEdit& edit) {
  // A file that is no longer the size we left it was changed by someone else.
  if (!platform::SeekFile(m_file, 0, SEEK_END) ||
      platform::TellFile(m_file) != static_cast<int64_t>(m_bytes.size())) {
    return false;
  }
  size_t removed = edit.end - edit.begin;
  m_bytes.replace(edit.begin, removed, edit.bytes);
  if (removed == 0)
    return WriteAt(m_file, edit.begin, m_bytes.data() + edit.begin, m_bytes.size() - edit.begin);
  if (removed == edit.bytes.size())
    return WriteAt(m_file, edit.begin, edit.bytes.data(), edit.bytes.size());
  return Rewrite();
}

// A line that changes length moves everything after it, and a file that shrinks cannot be cut
// short through the C library; a copy renamed over the file also keeps it whole across a crash.
bool CUninstallLog::Rewrite() {
  // Windows refuses to rename over a file that is open.
  fclose(m_file);
  m_file = nullptr;
  if (!ReplaceWholeFile(m_path.c_str(), m_bytes))
    return false;
  m_file = OpenForUpdate(m_path);
  return m_file != nullptr;
}
