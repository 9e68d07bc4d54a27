#pragma once
// The owner of one kernel handle (Windows only): closed when its owner goes, on every path.
// Both of the API's "no handle" values, null and INVALID_HANDLE_VALUE, are held as null.

#include <windows.h>

namespace platform {

class CHandle {
 public:
  explicit CHandle(HANDLE handle = nullptr)
      : m_h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~CHandle() { Reset(); }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;

  HANDLE Get() const { return m_h; }
  explicit operator bool() const { return m_h != nullptr; }
  void Reset(HANDLE handle = nullptr) {
    if (m_h)
      CloseHandle(m_h);
    m_h = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }

 private:
  HANDLE m_h;
};

}  // namespace platform
