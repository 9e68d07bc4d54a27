#pragma once
// CWnd: a window handle with the operations the dialogs use, and message-map dispatch.

#include <windows.h>

#include "platform/cstring.h"
#include "ui/cmd_target.h"

class CWnd : public CCmdTarget {
 public:
  HWND m_hWnd = nullptr;

  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }
  // The whole text of a control, however long.
  CString GetDlgItemText(int id) const;
  int MessageBox(const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption, type);
  }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) {
    return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
  }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
  }
  void SetRedraw(BOOL redraw) { SendMessage(WM_SETREDRAW, redraw); }
  BOOL RedrawWindow(UINT flags) { return ::RedrawWindow(m_hWnd, nullptr, nullptr, flags); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? 1 : 0, reinterpret_cast<LPARAM>(icon)));
  }

 protected:
  // Default processing for the message being handled.
  void Default() { m_bDefault = true; }
  void OnDestroy() { Default(); }

  // Runs the handler that the message maps name for message; false when none does, or when
  // the handler asked for default processing.
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  bool m_bDefault = false;
};
