#include "platform/file_closer.h"

namespace platform {

CFileCloser::CFileCloser() {
  m_bStarted = m_thread.Start(&CFileCloser::Run, this);
}

CFileCloser::~CFileCloser() {
  {
    CLockGuard guard(m_lock);
    m_bStopping = true;
    m_changed.NotifyAll();
  }
  m_thread.Join();
}

void CFileCloser::Close(FILE* file, const char* path) {
  if (!m_bStarted) {
    bool closed = fclose(file) == 0;
    ErrorCode error = closed ? 0 : LastError();
    CLockGuard guard(m_lock);
    NoteResult(closed, error, path);
    return;
  }
  CLockGuard guard(m_lock);
  while (m_count == kMaxPending)
    m_changed.Wait(m_lock);
  Pending& slot = m_pending[(m_first + m_count) % kMaxPending];
  slot.file = file;
  slot.path = path;
  ++m_count;
  m_changed.NotifyAll();
}

bool CFileCloser::Finish(std::string* failedPath, ErrorCode* error) {
  CLockGuard guard(m_lock);
  while (m_count > 0)
    m_changed.Wait(m_lock);
  if (!m_bFailed)
    return true;
  *failedPath = m_failedPath;
  *error = m_error;
  return false;
}

void CFileCloser::Run(void* self) {
  static_cast<CFileCloser*>(self)->Loop();
}

void CFileCloser::Loop() {
  CLockGuard guard(m_lock);
  for (;;) {
    while (m_count == 0 && !m_bStopping)
      m_changed.Wait(m_lock);
    if (m_count == 0)
      return;
    // The slot stays taken while its stream closes, so nothing is handed over into it.
    Pending& slot = m_pending[m_first];
    m_lock.Unlock();
    bool closed = fclose(slot.file) == 0;
    ErrorCode error = closed ? 0 : LastError();
    m_lock.Lock();
    NoteResult(closed, error, slot.path.c_str());
    m_first = (m_first + 1) % kMaxPending;
    --m_count;
    m_changed.NotifyAll();
  }
}

void CFileCloser::NoteResult(bool closed, ErrorCode error, const char* path) {
  if (closed || m_bFailed)
    return;
  m_bFailed = true;
  m_failedPath = path;
  m_error = error;
}

}  // namespace platform
