#pragma once

// A progress window for tests that always opens and shows nothing: a test
// derives from it and overrides only the hooks whose calls it records or
// steers. Abort/Retry/Ignore is answered Abort; waiting for input ends at
// once without an answer; a request to close ends the window.

#include <string>

#include "ui/console_window.h"

namespace corvane::test_support {

class SilentWindow : public ConsoleWindowProgress {
 public:
  using ConsoleWindowProgress::ConsoleWindowProgress;

  AbortRetryIgnore AskAbortRetryIgnore(const char*, const char*, bool) override {
    return AbortRetryIgnore::kAbort;
  }
  void StopAnimation() override {}

 protected:
  bool OpenWindow() override { return true; }
  void CloseWindow() override {}
  void ShowTitle(const char*) override {}
  void ShowProgress(const char*) override {}
  void ShowLog(const std::string&, const char*, bool) override {}
  void ShowOK(bool) override {}
  void Pump() override {}
  bool WaitForInput() override { return false; }
  void RequestClose() override { Ended(); }
};

}  // namespace corvane::test_support
