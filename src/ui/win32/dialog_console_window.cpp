#include "ui/win32/dialog_console_window.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/message_pump.h"
#include "ui/win32/dialog_resource_ids.h"

namespace corvane {

namespace {

// The dialog procedure of every progress dialog: hands each message to the
// object that made the dialog. Messages before WM_INITDIALOG (the object is
// not known yet) get the default processing.
INT_PTR CALLBACK DialogDispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DialogConsoleWindow* object;
  if (message == WM_INITDIALOG) {
    object = reinterpret_cast<DialogConsoleWindow*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
  } else {
    object = reinterpret_cast<DialogConsoleWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (object == nullptr) return 0;
  }
  return object->DlgProc(window, message, wparam, lparam);
}

}  // namespace

DialogConsoleWindow::~DialogConsoleWindow() {
  // The dialog may outlive the object (an ended dialog is only hidden):
  // later messages must find no object rather than a deleted one.
  if (created_ != nullptr && IsWindow(created_)) {
    SetWindowLongPtrA(created_, GWLP_USERDATA, 0);
  }
}

intptr_t DialogConsoleWindow::DlgProc(HWND window, unsigned message, uintptr_t wparam,
                                      intptr_t /*lparam*/) {
  switch (message) {
    case WM_INITDIALOG:
      log_ = GetDlgItem(window, CORVANE_IDC_LOG);
      progress_ = GetDlgItem(window, CORVANE_IDC_PROGRESS);
      ok_ = GetDlgItem(window, IDOK);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      return 1;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id != IDOK && id != IDCANCEL) return 0;
      // A modeless dialog that ends is hidden, not destroyed; clearing the
      // handle is what ends WaitForClose and silences the pumps.
      EndDialog(window, id);
      dialog_ = nullptr;
      Ended();
      return 1;
    }
    default:
      return 0;
  }
}

bool DialogConsoleWindow::OpenWindow() {
  HWND dialog =
      CreateDialogParamA(static_cast<HINSTANCE>(instance_), MAKEINTRESOURCEA(CORVANE_IDD_PROGRESS),
                         nullptr, DialogDispatch, reinterpret_cast<LPARAM>(this));
  if (dialog == nullptr) return false;
  dialog_ = dialog;
  created_ = dialog;
  // The template's placeholder text never shows, not even for one paint.
  if (progress_ != nullptr) SetWindowTextA(progress_, "");
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
  return true;
}

void DialogConsoleWindow::CloseWindow() {
  if (dialog_ == nullptr) return;
  HWND dialog = dialog_;
  dialog_ = nullptr;
  DestroyWindow(dialog);
}

void DialogConsoleWindow::ShowTitle(const char* text) {
  if (dialog_ != nullptr) SetWindowTextA(dialog_, text);
}

void DialogConsoleWindow::ShowProgress(const char* text) {
  if (progress_ != nullptr) SetWindowTextA(progress_, text);
}

void DialogConsoleWindow::ShowLog(const std::string& log, const char* /*line*/, bool /*trimmed*/) {
  if (log_ == nullptr) return;
  SetWindowTextA(log_, log.c_str());
  // Posted, not sent: the caret moves to the end and the view scrolls to the
  // last line at the next pump, after the new text has been laid out.
  const WPARAM end = static_cast<WPARAM>(log.size());
  PostMessageA(log_, EM_SETSEL, end, static_cast<LPARAM>(end));
  PostMessageA(log_, EM_SCROLLCARET, 0, 0);
}

void DialogConsoleWindow::ShowOK(bool enabled) {
  if (ok_ == nullptr) return;
  EnableWindow(ok_, enabled ? TRUE : FALSE);
  if (!enabled || dialog_ == nullptr) return;
  // The finished window is acknowledged from the keyboard too: OK becomes the
  // default button (Enter) and takes the focus (Space), and the window comes
  // to the front so that the keys reach it.
  SendMessageA(dialog_, DM_SETDEFID, IDOK, 0);
  SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok_), TRUE);
  SetForegroundWindow(dialog_);
}

void DialogConsoleWindow::Pump() { platform::PumpPendingMessages(); }

bool DialogConsoleWindow::WaitForInput() {
  MSG message;
  const BOOL got = GetMessageA(&message, nullptr, 0, 0);
  // -1: the queue cannot be read; waiting longer would never end.
  if (got == -1) return false;
  // 0 is a quit message: ignored, the window still waits for OK.
  if (got == 0) return true;
  // The dialog manager's keys while the window waits for OK: Enter presses
  // the default button, Space the focused one, Escape cancels (which ends
  // the window as OK does).
  if (dialog_ != nullptr && IsDialogMessageA(dialog_, &message)) return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void DialogConsoleWindow::RequestClose() {
  if (dialog_ != nullptr) PostMessageA(dialog_, WM_CLOSE, 0, 0);
}

AbortRetryIgnore DialogConsoleWindow::AskAbortRetryIgnore(const char* text, const char* title,
                                                          bool retry_default) {
  UINT style = MB_ABORTRETRYIGNORE | MB_ICONWARNING;
  if (retry_default) style |= MB_DEFBUTTON2;
  switch (MessageBoxA(dialog_, text, title, style)) {
    case IDRETRY:
      return AbortRetryIgnore::kRetry;
    case IDIGNORE:
      return AbortRetryIgnore::kIgnore;
    default:
      return AbortRetryIgnore::kAbort;
  }
}

intptr_t DialogConsoleWindowProgress::DlgProc(HWND window, unsigned message, uintptr_t wparam,
                                              intptr_t lparam) {
  const intptr_t result = DialogConsoleWindow::DlgProc(window, message, wparam, lparam);
  if (message == WM_INITDIALOG) {
    // No instance: the clip comes from the module that made the dialog, and
    // the control's autoplay style loops it from now on.
    SendDlgItemMessageA(window, CORVANE_IDC_ANIMATION, ACM_OPENA, 0,
                        reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(CORVANE_IDR_ANIMATION)));
  }
  return result;
}

void DialogConsoleWindowProgress::StopAnimation() {
  if (dialog() == nullptr) return;
  HWND animation = GetDlgItem(dialog(), CORVANE_IDC_ANIMATION);
  SendMessageA(animation, ACM_OPENA, 0, 0);
  // Closing the clip does not repaint everywhere (Wine keeps the last frame
  // on screen); a control without a clip paints itself blank.
  InvalidateRect(animation, nullptr, TRUE);
}

bool InitCommonControlsFromSystem() {
  // Kept loaded for the rest of the process: the controls live in it.
  HMODULE library = LoadLibraryA("comctl32.dll");
  if (library == nullptr) return false;
  FARPROC found = GetProcAddress(library, "InitCommonControls");
  if (found == nullptr) return false;
  using InitFunction = void(WINAPI*)();
  auto init = reinterpret_cast<InitFunction>(reinterpret_cast<void (*)()>(found));
  init();
  return true;
}

}  // namespace corvane
