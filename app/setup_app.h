#pragma once
// CSetupApp: the installer as a whole. Runs the main dialog, then on Install the progress
// dialog, then ends the program.

#include "ui/win_app.h"

class CSetupApp : public CWinApp {
 public:
  CSetupApp();
  BOOL InitInstance() override;

  DECLARE_MESSAGE_MAP()
};

extern CSetupApp theApp;
