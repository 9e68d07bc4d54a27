// The log keeps the file open and only the bytes after the section in memory: a new key is
// inserted at the end of the section, so each write sends only the new line and that fixed tail
// to the file, and the file is parsed only once. Keys it added are looked up in the file itself
// on the rare write that may repeat one.
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

// Copies size bytes at offset of from to the end of to.
bool CopyRange(FILE* from, int64_t offset, int64_t size, FILE* to) {
  if (!platform::SeekFile(from, offset, SEEK_SET))
    return false;
  char chunk[16384];
  while (size > 0) {
    size_t want =
        size < static_cast<int64_t>(sizeof chunk) ? static_cast<size_t>(size) : sizeof chunk;
    if (fread(chunk, 1, want, from) != want || fwrite(chunk, 1, want, to) != want)
      return false;
    size -= static_cast<int64_t>(want);
  }
  return true;
}

}  // namespace

CUninstallLog::CUninstallLog(const char* path) : m_path(path) {
  m_layout.KeepAddedKeysInFile(this);
}

CUninstallLog::~CUninstallLog() {
  Close();
}

bool CUninstallLog::Write(const char* key, const char* value) {
  // WriteProfileString makes a missing file (tiny then) and stands in whenever the fast path
  // cannot be trusted: it is slow but correct, and honest about failure.
  if (!m_file && !Open())
    return WriteProfileString(kSection, key, value, m_path.c_str());
  ProfileEdit edit;
  m_readFailed = false;
  bool planned = m_layout.SetKey(key, value, &edit);
  // Refused keys and values leave the file alone and the log where it was.
  if (!planned && !m_readFailed)
    return false;
  if (planned && Apply(edit))
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
  // The whole file is held only while it is parsed: at the first write that is the template.
  std::string bytes;
  if (!platform::ReadToEnd(m_file, &bytes) || !m_layout.Parse(bytes, kSection)) {
    Close();
    return false;
  }
  m_size = static_cast<int64_t>(bytes.size());
  m_tail = bytes.substr(m_layout.InsertAt());
  return true;
}

void CUninstallLog::Close() {
  if (m_file)
    fclose(m_file);
  m_file = nullptr;
  m_tail.clear();
  m_tail.shrink_to_fit();
}

bool CUninstallLog::Apply(const ProfileEdit& edit) {
  // A file that is no longer the size we left it was changed by someone else.
  if (!platform::SeekFile(m_file, 0, SEEK_END) || platform::TellFile(m_file) != m_size)
    return false;
  size_t removed = edit.end - edit.begin;
  if (removed != 0 && removed != edit.bytes.size())
    return Rewrite(edit);
  // A new line goes where the tail began, so the tail follows it in the same write.
  bool inserted = removed == 0;
  if (!platform::SeekFile(m_file, static_cast<int64_t>(edit.begin), SEEK_SET) ||
      fwrite(edit.bytes.data(), 1, edit.bytes.size(), m_file) != edit.bytes.size() ||
      (inserted && fwrite(m_tail.data(), 1, m_tail.size(), m_file) != m_tail.size()) ||
      fflush(m_file) != 0) {
    return false;
  }
  if (inserted)
    m_size += static_cast<int64_t>(edit.bytes.size());
  return true;
}

// A line that changes length moves everything after it, and a file that shrinks cannot be cut
// short through the C library; a copy renamed over the file also keeps it whole across a crash.
// The copy streams through a small buffer, so a long log costs no memory here either.
bool CUninstallLog::Rewrite(const ProfileEdit& edit) {
  std::string temp = m_path + ".tmp";
  FILE* copy = platform::OpenFile(temp.c_str(), "wb");
  if (!copy)
    return false;
  int64_t begin = static_cast<int64_t>(edit.begin);
  int64_t end = static_cast<int64_t>(edit.end);
  bool ok = CopyRange(m_file, 0, begin, copy) &&
            fwrite(edit.bytes.data(), 1, edit.bytes.size(), copy) == edit.bytes.size() &&
            CopyRange(m_file, end, m_size - end, copy);
  ok = fclose(copy) == 0 && ok;
  // Windows refuses to rename over a file that is open.
  fclose(m_file);
  m_file = nullptr;
  if (!ok || !platform::RenameReplacing(temp.c_str(), m_path.c_str())) {
    platform::RemoveFile(temp.c_str());
    return false;
  }
  m_size += static_cast<int64_t>(edit.bytes.size()) - (end - begin);
  m_file = OpenForUpdate(m_path);
  return m_file != nullptr;
}

bool CUninstallLog::ReadAt(size_t offset, size_t size, std::string* bytes) {
  bytes->resize(size);
  bool ok = platform::SeekFile(m_file, static_cast<int64_t>(offset), SEEK_SET) &&
            fread(&(*bytes)[0], 1, size, m_file) == size;
  m_readFailed = m_readFailed || !ok;
  return ok;
}
