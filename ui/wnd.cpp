#include "ui/wnd.h"

CString CWnd::GetDlgItemText(int id) const {
  HWND item = GetDlgItem(m_hWnd, id);
  int length = item ? GetWindowTextLengthA(item) : 0;
  CString text;
  if (length > 0) {
    char* buffer = text.GetBuffer(length + 1);
    int copied = GetWindowTextA(item, buffer, length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
  }
  return text;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const AFX_MSGMAP_ENTRY* entry =
      FindMessageEntry(message, message == WM_COMMAND ? HIWORD(wParam) : 0,
                       message == WM_COMMAND ? LOWORD(wParam) : 0);
  if (!entry)
    return false;
  m_bDefault = false;
  *result = entry->pfn(this, wParam, lParam);
  return !m_bDefault;
}
