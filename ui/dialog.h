#pragma once
// CDialog: a dialog made from a template in the program's resources and run modally by our own
// loop, which also ends when it retrieves WM_QUIT: the install worker closes the progress
// dialog that way.

#include "ui/data_exchange.h"
#include "ui/wnd.h"

class CDialog : public CWnd {
 public:
  CDialog(UINT templateId, CWnd* parent);
  ~CDialog() override;

  // IDOK or IDCANCEL as the dialog ended; -1 when the window could not be created or the loop
  // ended on WM_QUIT.
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  // Moves data between controls and members; save: controls to members.
  BOOL UpdateData(BOOL save = TRUE);
  // A message box owned by the dialog, put up on the dialog's own thread whichever thread asks,
  // and its answer. A worker's thread would set up a window system of its own for the box alone
  // (under Wine a connection to the X server and an input method), which the user waits for.
  int MessageBoxOnOwnThread(const char* text, const char* caption, UINT type);

 protected:
  // False: DoModal leaves the window hidden, for a dialog that shows itself only once its work
  // takes longer than a moment.
  bool m_bShowAtStart = true;

  virtual void DoDataExchange(CDataExchange*) {}
  // Fills the controls from the members. TRUE lets the dialog manager set the focus.
  virtual BOOL OnInitDialog();
  // Reads the controls back and ends the dialog with IDOK.
  virtual void OnOK();
  virtual void OnCancel();

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
  bool m_bModalRunning = false;
  INT_PTR m_nModalResult = -1;
};
