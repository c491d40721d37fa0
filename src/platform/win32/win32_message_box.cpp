#include <windows.h>

#include <string>

#include "platform/message_box.h"

namespace corvane::platform {

void ShowMessageBox(const char* text, const char* title, BoxIcon icon) {
  UINT style = MB_OK;
  switch (icon) {
    case BoxIcon::kError:
      style |= MB_ICONERROR;
      break;
    case BoxIcon::kWarning:
      style |= MB_ICONWARNING;
      break;
    case BoxIcon::kInformation:
      style |= MB_ICONINFORMATION;
      break;
  }
  MessageBoxA(nullptr, text, title, style);
}

BoxAnswer AskAbortRetryIgnoreBox(const char* text, const char* title, bool retry_default) {
  UINT style = MB_ABORTRETRYIGNORE | MB_ICONWARNING;
  if (retry_default) style |= MB_DEFBUTTON2;
  switch (MessageBoxA(nullptr, text, title, style)) {
    case IDRETRY:
      return BoxAnswer::kRetry;
    case IDIGNORE:
      return BoxAnswer::kIgnore;
    default:
      return BoxAnswer::kAbort;
  }
}

bool AskRetryCancelBox(const char* text, const char* title) {
  return MessageBoxA(nullptr, text, title, MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

std::string LastSystemErrorText() {
  DWORD error = GetLastError();
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace corvane::platform
