#pragma once

// The progress window of the Windows program: the modeless dialog 123 of the
// program's own resources, with the looping animation 125, the overwritten
// progress line (1005), the trimmed log (1003) and the OK button.
//
// The dialog does its own work only while one of the pumps runs: nothing here
// starts a thread or a timer. The pumps of the running patch leave keys to the
// controls; once the run waits for OK (WaitForClose), the dialog manager's
// keys work: OK is the default button with the focus, so Enter, Space and
// Escape end the window as the OK button does.
//
// Closing the window while the run still works (Alt+F4, a close command sent
// by the system) ends it as a cancel: the dialog is hidden, not destroyed, and
// the run sees a window the user closed (IsOpen false) at its next pump.
//
// An ended dialog (OK pressed) is only hidden, not destroyed, and deleting
// the object leaves its dialog alone; the destructor only unhooks the object
// from the dialog, so that messages a later box pumps to the dialog never
// reach a deleted object.
//
// This header does not bring in <windows.h>: handles are declared opaquely.

#include <cstdint>

#include "ui/console_window.h"

struct HWND__;

namespace corvane {

class DialogConsoleWindow : public ConsoleWindowProgress {
 public:
  // `instance` is the module (HINSTANCE) that holds dialog 123 and clip 125:
  // the program's own. Texts come through `load_message` from the module
  // given to Create.
  DialogConsoleWindow(void* instance, LoadMessageFunction load_message)
      : ConsoleWindowProgress(load_message), instance_(instance) {}
  ~DialogConsoleWindow() override;

  // The dialog's message handler; non-zero when it handled the message.
  virtual intptr_t DlgProc(HWND__* window, unsigned message, uintptr_t wparam, intptr_t lparam);

  // The plain window has no animation.
  void StopAnimation() override {}
  // The system's Abort/Retry/Ignore box, owned by the dialog.
  AbortRetryIgnore AskAbortRetryIgnore(const char* text, const char* title,
                                       bool retry_default) override;

  // The dialog window, null when there is none or it has ended.
  HWND__* dialog() const { return dialog_; }

 protected:
  bool OpenWindow() override;
  void CloseWindow() override;
  void ShowTitle(const char* text) override;
  void ShowProgress(const char* text) override;
  void ShowLog(const std::string& log, const char* line, bool trimmed) override;
  void ShowOK(bool enabled) override;
  void Pump() override;
  bool WaitForInput() override;
  void RequestClose() override;

 private:
  void* instance_;
  HWND__* dialog_ = nullptr;
  HWND__* created_ = nullptr;  // the dialog made by Create, ended or not
  HWND__* log_ = nullptr;
  HWND__* progress_ = nullptr;
  HWND__* ok_ = nullptr;
};

// The progress window with the looping animation.
class DialogConsoleWindowProgress final : public DialogConsoleWindow {
 public:
  using DialogConsoleWindow::DialogConsoleWindow;

  intptr_t DlgProc(HWND__* window, unsigned message, uintptr_t wparam, intptr_t lparam) override;
  // Closes the clip: the animation stops and its area is blank for good.
  void StopAnimation() override;
};

// Initialises the system's common controls (the animation control needs them)
// by finding "InitCommonControls" in "comctl32.dll" at run time. False when
// the library or the function is missing: the run then goes without a window.
bool InitCommonControlsFromSystem();

}  // namespace corvane
