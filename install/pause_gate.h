#pragma once
// Pausing the worker cooperatively. Suspending a thread wherever it is can freeze the installer:
// a worker stopped while it holds the heap or a stdio lock blocks the user-interface thread's
// own question box. Here the worker stops only at points of its own choosing (between members,
// before a log entry, between copy buffers), holding nothing. Once the worker has passed the
// last point where a cancel counts, it closes the gate: a cancel asked for then is no question.

#include <atomic>

#include "platform/sync.h"

class CPauseGate {
 public:
  // False, and nothing paused, once the gate is closed.
  bool Pause();
  void Resume();
  // Blocks while paused.
  void WaitWhilePaused();
  // Waits out a pause under way, then refuses every later one.
  void Close();

 private:
  platform::CLock m_lock;
  platform::CCondition m_resumed;
  bool m_bPaused = false;
  bool m_bClosed = false;
  // Lets the worker skip the lock on its hot path when nobody asked for a pause.
  std::atomic<bool> m_bMaybePaused{false};
};
