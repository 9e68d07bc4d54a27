#pragma once
// What the worker has to show, kept until the user-interface thread shows it. Telling the window
// about every file costs a cross-thread message and a repaint each, which made installs of many
// small files twice as slow as the unpacking; the worker records here instead, and the window
// applies the lot a few times a second.

#include <atomic>

#include "platform/cstring.h"
#include "platform/sync.h"

// What to apply to the window: the path when it changed, and that many single steps, because a
// bar stepped past its maximum starts over and must land where per-file steps would leave it.
struct ProgressUpdate {
  bool pathChanged = false;
  CString path;
  int steps = 0;
};

class CProgressRelay {
 public:
  // The worker's side.
  void RecordPath(const char* path);
  void RecordStep();

  // The user-interface thread's side. While held (a question is open) the timer takes nothing,
  // so the window stands still; what was recorded meanwhile is kept for after.
  void Hold() { m_bHeld = true; }
  void Release() { m_bHeld = false; }
  // What the timer applies; false when there is nothing, or while held.
  bool TakeForTick(ProgressUpdate* update);
  // Everything recorded, held or not: before the worker's message box, which must see the final
  // path and bar.
  bool TakeAll(ProgressUpdate* update);

 private:
  platform::CLock m_lock;
  CString m_path;
  bool m_bPathChanged = false;
  std::atomic<int> m_steps{0};
  bool m_bHeld = false;
};
