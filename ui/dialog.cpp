#include "ui/dialog.h"

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  if (m_hWnd)
    DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  m_nModalResult = -1;
  HWND hwnd = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                 DialogProc, reinterpret_cast<LPARAM>(this));
  if (!hwnd)
    return -1;
  // OnInitDialog may already have ended the dialog.
  if (owner && m_bModalRunning)
    EnableWindow(owner, FALSE);
  if (m_bModalRunning && m_bShowAtStart)
    ShowWindow(hwnd, SW_SHOWNORMAL);

  MSG msg;
  while (m_bModalRunning) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1)
      break;  // WM_QUIT ends the run, as the worker intends
    if (!IsDialogMessageA(hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (owner)
    EnableWindow(owner, TRUE);
  ShowWindow(hwnd, SW_HIDE);
  DestroyWindow(hwnd);
  m_hWnd = nullptr;
  return m_nModalResult;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bModalRunning = false;
  // Wakes the loop, which may be waiting in GetMessage.
  if (m_hWnd)
    PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL save) {
  CDataExchange dx = {this, save};
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE))
    return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

namespace {
// The framework's own request, at the top of the application's range so that a dialog's own
// WM_APP messages never meet it.
constexpr UINT kMessageBoxRequest = 0xBFFF;
struct MessageBoxRequest {
  const char* text;
  const char* caption;
  UINT type;
};
}  // namespace

int CDialog::MessageBoxOnOwnThread(const char* text, const char* caption, UINT type) {
  MessageBoxRequest request = {text, caption, type};
  return static_cast<int>(SendMessage(kMessageBoxRequest, 0, reinterpret_cast<LPARAM>(&request)));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
    dialog->m_hWnd = hwnd;
    dialog->m_bModalRunning = true;
  } else {
    dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) and after the object let go get the defaults.
  if (!dialog || dialog->m_hWnd != hwnd)
    return FALSE;
  return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG)
    return OnInitDialog();
  if (message == kMessageBoxRequest) {
    const MessageBoxRequest* request = reinterpret_cast<const MessageBoxRequest*>(lParam);
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT,
                      MessageBox(request->text, request->caption, request->type));
    return TRUE;
  }
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, &result)) {
    // These return their value directly; the others through DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON)
      return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
  }
  // Buttons, Enter, Escape and the close box all arrive as these two commands.
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return FALSE;
}
