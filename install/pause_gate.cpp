#include "install/pause_gate.h"

bool CPauseGate::Pause() {
  platform::CLockGuard hold(m_lock);
  if (m_bClosed)
    return false;
  m_bPaused = true;
  m_bMaybePaused.store(true);
  return true;
}

void CPauseGate::Resume() {
  {
    platform::CLockGuard hold(m_lock);
    m_bPaused = false;
    m_bMaybePaused.store(false);
  }
  m_resumed.NotifyAll();
}

void CPauseGate::WaitWhilePaused() {
  if (!m_bMaybePaused.load())
    return;
  platform::CLockGuard hold(m_lock);
  while (m_bPaused)
    m_resumed.Wait(m_lock);
}

void CPauseGate::Close() {
  platform::CLockGuard hold(m_lock);
  while (m_bPaused)
    m_resumed.Wait(m_lock);
  m_bClosed = true;
}
