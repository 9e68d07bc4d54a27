#pragma once
// Message maps: each class that handles messages lists them in a static table that leads to
// its base class's table. Dispatch walks the tables from the most derived class up, so a class
// sees only the messages it names and the rest fall through to default processing.

#include <windows.h>

#include "platform/object.h"

class CCmdTarget;

// How a handler is called.
enum AfxSig : UINT {
  AfxSig_end = 0,
  AfxSig_vv,   // void Handler()
  AfxSig_hv,   // HCURSOR Handler(), for WM_QUERYDRAGICON
  AfxSig_vu,   // void Handler(UINT_PTR), for WM_TIMER
  AfxSig_lwl,  // LRESULT Handler(WPARAM, LPARAM), for a message of the program's own
};

// The handler, in the member that matches its signature.
union AfxHandler {
  constexpr AfxHandler() : vv(nullptr) {}
  constexpr AfxHandler(void (CCmdTarget::*f)()) : vv(f) {}          // NOLINT: implicit on purpose
  constexpr AfxHandler(HCURSOR (CCmdTarget::*f)()) : hv(f) {}       // NOLINT
  constexpr AfxHandler(void (CCmdTarget::*f)(UINT_PTR)) : vu(f) {}  // NOLINT
  constexpr AfxHandler(LRESULT (CCmdTarget::*f)(WPARAM, LPARAM)) : lwl(f) {}  // NOLINT
  void (CCmdTarget::*vv)();
  HCURSOR (CCmdTarget::*hv)();
  void (CCmdTarget::*vu)(UINT_PTR);
  LRESULT (CCmdTarget::*lwl)(WPARAM, LPARAM);
};

// A pointer to a member function of Class with the function type Fn, such as void(UINT_PTR).
template <class Class, class Fn>
using AfxMemberFn = Fn Class::*;

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;  // notification code, for WM_COMMAND
  UINT nID;    // control or command id, for WM_COMMAND
  UINT nSig;
  AfxHandler pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget : public CObject {
 public:
  // The first entry for message (and, for WM_COMMAND, its code and id), or null.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { \
    return GetThisMessageMap();                       \
  }                                                   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
    using ThisClass [[maybe_unused]] = theClass;      \
    using TheBaseClass = baseClass;                   \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                           \
  { 0, 0, 0, AfxSig_end, AfxHandler() }                                             \
  }                                                                                 \
  ;                                                                                 \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &messageMap;                                                               \
  }

// A handler is converted to the base class's pointer type of its own signature, which is well
// defined for single inheritance, and dispatch calls it through that type.
#define AFX_ENTRY(message, code, id, sig, fnType, fn)       \
  {message, code, id, sig,                                  \
   AfxHandler(static_cast<AfxMemberFn<CCmdTarget, fnType>>( \
       static_cast<AfxMemberFn<ThisClass, fnType>>(fn)))},

#define ON_WM_PAINT() AFX_ENTRY(WM_PAINT, 0, 0, AfxSig_vv, void(), &ThisClass::OnPaint)
#define ON_WM_DESTROY() AFX_ENTRY(WM_DESTROY, 0, 0, AfxSig_vv, void(), &ThisClass::OnDestroy)
#define ON_WM_QUERYDRAGICON() \
  AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, AfxSig_hv, HCURSOR(), &ThisClass::OnQueryDragIcon)
#define ON_BN_CLICKED(id, fn) AFX_ENTRY(WM_COMMAND, BN_CLICKED, id, AfxSig_vv, void(), fn)
#define ON_COMMAND(id, fn) AFX_ENTRY(WM_COMMAND, 0, id, AfxSig_vv, void(), fn)
#define ON_WM_TIMER() AFX_ENTRY(WM_TIMER, 0, 0, AfxSig_vu, void(UINT_PTR), &ThisClass::OnTimer)
#define ON_MESSAGE(message, fn) AFX_ENTRY(message, 0, 0, AfxSig_lwl, LRESULT(WPARAM, LPARAM), fn)
