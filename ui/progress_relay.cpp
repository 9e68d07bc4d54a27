#include "ui/progress_relay.h"

void CProgressRelay::RecordPath(const char* path) {
  platform::CLockGuard hold(m_lock);
  m_path = path;
  m_bPathChanged = true;
}

void CProgressRelay::RecordStep() {
  // Release: whoever takes this step also sees the path recorded before it.
  m_steps.fetch_add(1, std::memory_order_release);
}

bool CProgressRelay::TakeForTick(ProgressUpdate* update) {
  if (m_bHeld)
    return false;
  return TakeAll(update);
}

bool CProgressRelay::TakeAll(ProgressUpdate* update) {
  // Steps before the path: the path taken is then that of the last step taken or a later one,
  // as the worker shows a file before stepping for it. The other order could show a step
  // beside the previous file's path.
  update->steps = m_steps.exchange(0, std::memory_order_acquire);
  {
    platform::CLockGuard hold(m_lock);
    update->pathChanged = m_bPathChanged;
    if (m_bPathChanged)
      update->path = m_path;
    m_bPathChanged = false;
  }
  return update->pathChanged || update->steps > 0;
}
