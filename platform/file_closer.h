#pragma once
// Closes finished output files on a thread of its own, so that the next file need not wait for
// the last one's close: under Wine every close is a round trip to its server, and on Windows a
// close is where antivirus scanners examine the file. A file's bytes are flushed before it is
// handed over, so a full disk still shows at once; only the close itself, which fails on little
// more than a network share, is told late, by Finish.

#include <cstdio>
#include <string>

#include "platform/fs.h"
#include "platform/sync.h"

namespace platform {

class CFileCloser {
 public:
  CFileCloser();
  // Closes what is still handed over, then ends the thread.
  ~CFileCloser();
  CFileCloser(const CFileCloser&) = delete;
  CFileCloser& operator=(const CFileCloser&) = delete;

  // Takes an open stream with nothing left in its buffer; path names it in a failure. Waits
  // while kMaxPending are waiting already, which bounds the open handles. Without the thread
  // (the system could not start it) the stream is closed at once.
  void Close(FILE* file, const char* path);
  // Waits until every stream handed over is closed. False when a close failed, with the path
  // and the error code of the first that did.
  bool Finish(std::string* failedPath, ErrorCode* error);

 private:
  static constexpr int kMaxPending = 32;
  struct Pending {
    FILE* file = nullptr;
    std::string path;
  };

  static void Run(void* self);
  void Loop();
  void NoteResult(bool closed, ErrorCode error, const char* path);

  CLock m_lock;
  CCondition m_changed;
  Pending m_pending[kMaxPending];
  int m_first = 0;  // the oldest pending stream, or the one being closed
  int m_count = 0;  // pending, the one being closed included
  bool m_bStopping = false;
  bool m_bFailed = false;
  std::string m_failedPath;
  ErrorCode m_error = 0;
  bool m_bStarted = false;
  CThread m_thread;
};

}  // namespace platform
