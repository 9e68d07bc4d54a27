#pragma once
// The two controls the dialogs bind: a picture and a progress bar.

#include <windows.h>

#include <commctrl.h>

#include "ui/wnd.h"

class CStatic : public CWnd {
 public:
  HBITMAP SetBitmap(HBITMAP bitmap) {
    return reinterpret_cast<HBITMAP>(
        SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  }
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short lower, short upper) {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
  }
  // A range past 16 bits, for counts the bar's classic range cannot hold.
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, lower, upper); }
  int GetPos() { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
  int GetUpper() { return static_cast<int>(SendMessage(PBM_GETRANGE, FALSE, 0)); }
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, pos, 0)); }
  int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, step, 0)); }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT, 0, 0)); }
};
