#pragma once
// What the install worker needs of the progress dialog, and nothing more. The dialog implements
// it over its window; the tests put a recorder in its place and run the whole worker natively.

class IInstallView {
 public:
  // The path of the file being unpacked (the status text).
  virtual void ShowPath(const char* path) = 0;
  // One step of the progress bar.
  virtual void StepProgress() = 0;
  // A message box owned by the dialog; returns when the user has dismissed it, with the button.
  virtual int ShowMessage(const char* text, const char* caption, unsigned type) = 0;
  // True once the user has confirmed the cancel.
  virtual bool IsCancelled() = 0;
  // Returns at once, or when the user has answered the cancel question.
  virtual void WaitWhilePaused() = 0;
  // Past here a cancel no longer counts, so it is no longer asked: returns once a question
  // already open is answered (its Yes still counts). A view without a cancel has nothing to do.
  virtual void CloseCancel() {}
  // The worker's last use of the dialog: closes it.
  virtual void End() = 0;

 protected:
  ~IInstallView() = default;
};
