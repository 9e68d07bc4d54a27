#pragma once
// Owners for COM (Windows only): an interface pointer released with its owner, and the calling
// thread's COM library initialised for as long as a CComInit lives.

#include <objbase.h>

#include "platform/system_dll.h"

template <class T>
class CComPtr {
 public:
  CComPtr() = default;
  ~CComPtr() { Reset(); }
  CComPtr(const CComPtr&) = delete;
  CComPtr& operator=(const CComPtr&) = delete;

  operator T*() const { return m_p; }  // NOLINT: used as the raw pointer it owns
  T* operator->() const { return m_p; }
  // For a call that hands out a new reference: the one held before is released first.
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (m_p)
      m_p->Release();
    m_p = nullptr;
  }
  // Lets go without releasing, for what a failed call may have left behind.
  void Forget() { m_p = nullptr; }

 private:
  T* m_p = nullptr;
};

class CComInit {
 public:
  // A thread that already has COM gets S_FALSE, balanced like S_OK, or RPC_E_CHANGED_MODE,
  // which leaves its apartment alone.
  CComInit() : m_hr(platform::CoInitialize(nullptr)) {}
  ~CComInit() {
    if (SUCCEEDED(m_hr))
      platform::CoUninitialize();
  }
  CComInit(const CComInit&) = delete;
  CComInit& operator=(const CComInit&) = delete;

 private:
  HRESULT m_hr;
};
