#pragma once
// Message maps: each class that handles messages lists them in a static table that leads to
// its base class's table. Dispatch walks the tables from the most derived class up, so a class
// sees only the messages it names and the rest fall through to default processing.

#include <windows.h>

#include "platform/object.h"

class CCmdTarget;

// Calls one handler on the object that dispatch found it for, turning the message's arguments
// into the handler's own. Plain functions, so the tables are constants built by the compiler:
// a table of member-function pointers converted to the base class would be built at run time,
// behind a thread-safe guard that drags the pthreads emulation into setup.exe.
using AfxThunk = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

// The thunks for handler fn of Class, one per signature; the macros below pick the one that
// fits the message, and a handler of another signature does not compile.
template <class Class, auto fn>
struct AfxCall {
  static LRESULT vv(CCmdTarget* target, WPARAM, LPARAM) {  // void Handler()
    (static_cast<Class*>(target)->*fn)();
    return 0;
  }
  static LRESULT hv(CCmdTarget* target, WPARAM, LPARAM) {  // HCURSOR Handler()
    return reinterpret_cast<LRESULT>((static_cast<Class*>(target)->*fn)());
  }
  static LRESULT vu(CCmdTarget* target, WPARAM wParam, LPARAM) {  // void Handler(UINT_PTR)
    (static_cast<Class*>(target)->*fn)(static_cast<UINT_PTR>(wParam));
    return 0;
  }
  // LRESULT Handler(WPARAM, LPARAM)
  static LRESULT lwl(CCmdTarget* target, WPARAM wParam, LPARAM lParam) {
    return (static_cast<Class*>(target)->*fn)(wParam, lParam);
  }
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;    // notification code, for WM_COMMAND
  UINT nID;      // control or command id, for WM_COMMAND
  AfxThunk pfn;  // null ends the table
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
  { 0, 0, 0, nullptr }                                                              \
  }                                                                                 \
  ;                                                                                 \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &messageMap;                                                               \
  }

#define AFX_ENTRY(message, code, id, sig, fn) {message, code, id, &AfxCall<ThisClass, fn>::sig},

#define ON_WM_PAINT() AFX_ENTRY(WM_PAINT, 0, 0, vv, &ThisClass::OnPaint)
#define ON_WM_DESTROY() AFX_ENTRY(WM_DESTROY, 0, 0, vv, &ThisClass::OnDestroy)
#define ON_WM_QUERYDRAGICON() AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, hv, &ThisClass::OnQueryDragIcon)
#define ON_BN_CLICKED(id, fn) AFX_ENTRY(WM_COMMAND, BN_CLICKED, id, vv, fn)
#define ON_COMMAND(id, fn) AFX_ENTRY(WM_COMMAND, 0, id, vv, fn)
#define ON_WM_TIMER() AFX_ENTRY(WM_TIMER, 0, 0, vu, &ThisClass::OnTimer)
#define ON_MESSAGE(message, fn) AFX_ENTRY(message, 0, 0, lwl, fn)
