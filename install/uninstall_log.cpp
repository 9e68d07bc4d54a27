// The template is read once, at the first write; after that only its tail and the layout of its
// "files" section stay in memory. A new entry is one write of its line and the tail at the
// insertion point. The rare writes that cannot be such an append (a key the template already
// holds, and the first write after a failed one) copy the file beside itself and rename the copy
// over it, streaming through a small buffer.
#include "install/uninstall_log.h"

#include <cstdio>

#include "platform/fs.h"

namespace {

const char kSection[] = "files";

// Large enough that the line and the usual tail leave the process in a single system call: a
// crash cannot split them.
const size_t kBufferSize = 1 << 16;

bool Put(const std::string& bytes, FILE* to) {
  return fwrite(bytes.data(), 1, bytes.size(), to) == bytes.size();
}

// Copies size bytes at offset of from to the end of to.
bool CopyRange(FILE* from, size_t offset, size_t size, FILE* to) {
  if (!platform::SeekFile(from, static_cast<int64_t>(offset), SEEK_SET))
    return false;
  char chunk[16384];
  while (size > 0) {
    size_t want = size < sizeof chunk ? size : sizeof chunk;
    if (fread(chunk, 1, want, from) != want || fwrite(chunk, 1, want, to) != want)
      return false;
    size -= want;
  }
  return true;
}

}  // namespace

CUninstallLog::CUninstallLog(const char* path, int firstEntry)
    : m_path(path), m_nEntries(firstEntry) {}

bool CUninstallLog::AddEntry(const char* path) {
  std::string key = "file" + std::to_string(m_nEntries);
  if (!Write(key.c_str(), path))
    return false;
  ++m_nEntries;
  return true;
}

bool CUninstallLog::WriteCount() {
  return Write("filenum", std::to_string(m_nEntries).c_str());
}

bool CUninstallLog::Write(const char* key, const char* value) {
  if (!Ready())
    return false;
  ProfileEdit edit;
  if (!m_layout.Plan(key, value, &edit))
    return Fail("a line break in the entry");
  bool appended = edit.begin == edit.end && !m_bDirty;
  if (!(appended ? Append(edit) : Rewrite(edit)))
    return false;
  m_layout.Take(edit);
  return true;
}

bool CUninstallLog::Ready() {
  if (!m_bLoaded)
    return Load();
  return m_file.IsOpen() || OpenStream() || FailWithLastError();
}

bool CUninstallLog::Load() {
  // A missing file is made, as Wine's writer makes it; one that is there must be writable, and
  // ours alone: the log is never written into a file that also has a name elsewhere.
  if (!OpenStream()) {
    platform::ErrorCode error = platform::LastError();
    if (platform::FileExists(m_path.c_str()) || platform::FolderExists(m_path.c_str()))
      return Fail(platform::ErrorText(error));
    platform::CFile created;
    if (!created.OpenReplacing(m_path.c_str()) || !created.Close() || !OpenStream())
      return FailWithLastError();
  }
  std::string bytes;
  if (!platform::ReadToEnd(m_file.Get(), &bytes))
    return FailWithLastError();
  if (!m_layout.Parse(bytes, kSection))
    return Fail("its UTF-16 text ends in half a character");
  m_tail = bytes.substr(m_layout.InsertAt());
  m_bLoaded = true;
  return true;
}

bool CUninstallLog::OpenStream() {
  if (!m_file.OpenOwnForUpdate(m_path.c_str()))
    return false;
  setvbuf(m_file.Get(), nullptr, _IOFBF, kBufferSize);
  return true;
}

bool CUninstallLog::Append(const ProfileEdit& edit) {
  FILE* file = m_file.Get();
  if (platform::SeekFile(file, static_cast<int64_t>(edit.begin), SEEK_SET) &&
      Put(edit.bytes, file) && Put(m_tail, file) && fflush(file) == 0) {
    return true;
  }
  FailWithLastError();
  // What reached the file is unknown now; the next write rebuilds it from what is known.
  m_file.Close();
  m_bDirty = true;
  return false;
}

// Only the bytes before the insertion point are read from the file: after a failed append the
// rest may be part of a line, so it is written anew from memory.
bool CUninstallLog::Rewrite(const ProfileEdit& edit) {
  platform::CReplacingFile copy(m_path.c_str());
  FILE* from = m_file.Get();
  size_t insertAt = m_layout.InsertAt();
  if (!copy.Open() || !CopyRange(from, 0, edit.begin, copy.Get()) || !Put(edit.bytes, copy.Get()) ||
      !CopyRange(from, edit.end, insertAt - edit.end, copy.Get()) || !Put(m_tail, copy.Get())) {
    return FailWithLastError();
  }
  // Windows refuses to rename over a file that is open.
  m_file.Close();
  if (!copy.Commit())
    return FailWithLastError();
  m_bDirty = false;
  // A stream that cannot be opened again is retried, and reported, by the next write.
  OpenStream();
  return true;
}

bool CUninstallLog::Fail(const std::string& reason) {
  if (m_failure.empty())
    m_failure = reason;
  return false;
}

bool CUninstallLog::FailWithLastError() {
  return Fail(platform::ErrorText(platform::LastError()));
}
