#pragma once
// Drives our programs' windows from another process, as a user would: finds them, reads their
// texts and the progress bar, presses buttons and answers message boxes. Every wait has a
// timeout and every read uses SendMessageTimeout, so a hung program cannot hang a test.

#include <windows.h>

#include <string>
#include <vector>

// A program started for a test, killed with everything it started when the object goes away.
class CDrivenProcess {
 public:
  CDrivenProcess() = default;
  ~CDrivenProcess();
  CDrivenProcess(const CDrivenProcess&) = delete;
  CDrivenProcess& operator=(const CDrivenProcess&) = delete;

  // Ends what an earlier Start began, then starts exe.
  bool Start(const std::string& exe, const std::string& arguments);
  // True when it ended within the timeout; its exit code in *code.
  bool WaitForExit(DWORD timeoutMs, DWORD* code = nullptr);
  DWORD Id() const { return m_info.dwProcessId; }

 private:
  void End();

  PROCESS_INFORMATION m_info = {};
  HANDLE m_hJob = nullptr;
};

// A visible top-level dialog of the process (of any process for 0) whose caption is given; null
// after the timeout.
HWND WaitForDialog(DWORD processId, const char* caption, DWORD timeoutMs);
// A visible message box of the process (a dialog that is not `except`) holding text, or any
// text when text is null; null after the timeout.
HWND WaitForMessageBox(DWORD processId, HWND except, DWORD timeoutMs);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// The text of a message box.
std::string MessageBoxText(HWND box);
int ProgressPosition(HWND dialog, int id);
// Clicks button id of dialog, as a user's click would.
bool ClickButton(HWND dialog, int id);
// Sets a control's text, as typing it would leave it.
bool SetItemText(HWND dialog, int id, const char* text);
// Saves what the screen shows of the window as a 24-bit BMP file.
bool SaveWindowImage(HWND window, const std::string& path);
// Keeps a screenshot of the window as a test artifact: screenshots\NAME.bmp beside the test
// program.
void KeepScreenshot(HWND window, const std::string& name);
// The user's shell folder ("Programs", "Desktop") as the registry gives it to the installer.
std::string ShellFolder(const char* name);
// Keys as a user types them: posted to the control that has the keyboard focus in window's
// thread, so that they pass through that thread's message loop and its IsDialogMessage.
HWND FocusOf(HWND window);
bool PressKey(HWND window, UINT vk);
bool TypeChars(HWND window, const std::string& text);
// Alt and a letter, as for a mnemonic (&Install).
bool PressAltLetter(HWND window, char letter);
// Waits until the window is gone.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);
