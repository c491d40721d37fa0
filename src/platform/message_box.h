#pragma once

#include <string>

namespace corvane::platform {

// The system's modal message boxes, with no owner window.
// win32: MessageBoxA. posix: the box is written to the terminal (standard
// error) as its title and text; a question is asked on the terminal when
// standard input and standard error are both terminals, and otherwise answered
// with its safe default (Abort), since nobody is there to answer.
// Texts are code page 1252.

enum class BoxIcon { kError, kWarning, kInformation };

void ShowMessageBox(const char* text, const char* title, BoxIcon icon);

enum class BoxAnswer { kAbort = 0, kRetry = 1, kIgnore = 2 };

// Abort, Retry and Ignore buttons with the warning icon; `retry_default` makes
// Retry the default button. Answers the button pressed.
BoxAnswer AskAbortRetryIgnoreBox(const char* text, const char* title, bool retry_default);

// Retry (the default button) and Cancel with the warning icon: something
// outside the patch stands in the way and the player can clear it. True for
// Retry. Where nobody can answer (posix without a terminal) the answer is
// Cancel.
bool AskRetryCancelBox(const char* text, const char* title);

// The system's text for the error code of the most recent failed system call
// (win32: FormatMessageA of GetLastError; posix: strerror of errno), without a
// trailing line break.
std::string LastSystemErrorText();

}  // namespace corvane::platform
