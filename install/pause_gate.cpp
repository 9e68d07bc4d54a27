#include "install/pause_gate.h"

void CPauseGate::Pause() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bPaused = true;
  m_bMaybePaused.store(true);
}

void CPauseGate::Resume() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bPaused = false;
    m_bMaybePaused.store(false);
  }
  m_resumed.notify_all();
}

void CPauseGate::WaitWhilePaused() {
  if (!m_bMaybePaused.load())
    return;
  std::unique_lock<std::mutex> lock(m_mutex);
  m_resumed.wait(lock, [this] { return !m_bPaused; });
}
