#include "run/message_catalogue.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/app_frame.h"
#include "platform/resource_module.h"
#include "platform/user_language.h"
#include "run/message_texts.h"

namespace corvane {

namespace {

constexpr char kBuiltInDisplayName[] = "Corvane";
constexpr char kPlaceholder[] = "#APPNAME";
constexpr size_t kPlaceholderLength = sizeof(kPlaceholder) - 1;
constexpr int kWorkBufferSize = 1024;
constexpr int kBoxTitleSize = 256;
constexpr int kQuestionTemplateSize = 1024;
constexpr int kQuestionTextSize = 2048;

std::string& DisplayNameStorage() {
  static std::string name = kBuiltInDisplayName;
  return name;
}

uint16_t forced_language = 0;

MessageBoxFunctions default_boxes;
MessageBoxFunctions* current_boxes = &default_boxes;

// The unreplaced text of `id` into `work` (at most 1,023 characters).
void LoadRawText(ModuleInstance instance, int id, char (&work)[kWorkBufferSize]) {
  work[0] = '\0';
  std::string text;
  if (instance != nullptr && id > 0 && id <= 0xFFFF &&
      instance->LoadStringText(static_cast<uint16_t>(id), forced_language, &text)) {
    std::snprintf(work, sizeof(work), "%s", text.c_str());
    return;
  }
  const char* built_in = MessageText(MessageLanguage(), id);
  if (built_in != nullptr) std::snprintf(work, sizeof(work), "%s", built_in);
}

// The text of `id` with every placeholder replaced by `name`, cut to size - 1.
void LoadWithName(ModuleInstance instance, int id, const std::string& name, char* out, int size) {
  if (size <= 0) return;
  char work[kWorkBufferSize];
  LoadRawText(instance, id, work);

  const char* source = work;
  char* destination = out;
  size_t room = static_cast<size_t>(size);
  while (const char* found = std::strstr(source, kPlaceholder)) {
    size_t before = static_cast<size_t>(found - source);
    if (before >= room) break;
    std::memcpy(destination, source, before);
    destination += before;
    room -= before;
    source = found + kPlaceholderLength;
    size_t copied = name.size() < room ? name.size() : room;
    name.copy(destination, copied);
    destination += copied;
    room -= copied;
    if (room == 0) break;
  }
  if (room > 0) std::strncpy(destination, source, room);
  out[size - 1] = '\0';
}

// The title (kMsgPatchTitle) and the question `id` formatted with `args`.
void FormatQuestion(ModuleInstance instance, int id, char (&title)[kBoxTitleSize],
                    char (&text)[kQuestionTextSize], va_list args) {
  LoadMessage(instance, kMsgPatchTitle, title, sizeof(title));
  char format[kQuestionTemplateSize];
  LoadMessageFormat(instance, id, format, sizeof(format));
  if (std::vsnprintf(text, sizeof(text), format, args) < 0) text[0] = '\0';
}

}  // namespace

void MessageBoxFunctions::Show(const char* text, const char* title, platform::BoxIcon icon) {
  platform::ShowMessageBox(text, title, icon);
}

platform::BoxAnswer MessageBoxFunctions::AskAbortRetryIgnore(const char* text, const char* title,
                                                             bool retry_default) {
  return platform::AskAbortRetryIgnoreBox(text, title, retry_default);
}

bool MessageBoxFunctions::AskRetryCancel(const char* text, const char* title) {
  return platform::AskRetryCancelBox(text, title);
}

MessageBoxFunctions* GetMessageBoxFunctions() { return current_boxes; }

MessageBoxFunctions* SetMessageBoxFunctions(MessageBoxFunctions* functions) {
  MessageBoxFunctions* previous = current_boxes;
  current_boxes = functions != nullptr ? functions : &default_boxes;
  return previous;
}

void SetDisplayName(const char* name) {
  DisplayNameStorage() = (name != nullptr && *name != '\0') ? name : kBuiltInDisplayName;
}

const char* DisplayName() { return DisplayNameStorage().c_str(); }

void SetMessageLanguage(uint16_t language) { forced_language = language; }

uint16_t MessageLanguage() {
  return forced_language != 0 ? forced_language : platform::UserLanguageId();
}

void LoadMessage(ModuleInstance instance, int id, char* out, int size) {
  LoadWithName(instance, id, DisplayNameStorage(), out, size);
}

void LoadMessageFormat(ModuleInstance instance, int id, char* out, int size) {
  std::string name;
  for (char c : DisplayNameStorage()) {
    name += c;
    if (c == '%') name += '%';
  }
  LoadWithName(instance, id, name, out, size);
  if (size <= 0) return;
  // An odd run of "%" at the very end is half of a doubled one that was cut.
  size_t length = std::strlen(out);
  size_t run = 0;
  while (run < length && out[length - 1 - run] == '%') ++run;
  if (run % 2 == 1) out[length - 1] = '\0';
}

void ShowError(ModuleInstance instance, const char* text, platform::BoxIcon icon) {
  ReportLog("%s", text);
  char title[kBoxTitleSize];
  LoadMessage(instance, kMsgPatchTitle, title, sizeof(title));
  current_boxes->Show(text, title, icon);
}

void ShowSystemError() {
  std::string text = platform::LastSystemErrorText();
  current_boxes->Show(text.c_str(), "Error", platform::BoxIcon::kInformation);
}

int AskAbortRetryIgnore(ModuleInstance instance, ConsoleWindow* owner, bool retry_returns, int id,
                        ...) {
  char title[kBoxTitleSize];
  char text[kQuestionTextSize];
  va_list args;
  va_start(args, id);
  FormatQuestion(instance, id, title, text, args);
  va_end(args);

  for (;;) {
    int answer;
    if (owner != nullptr && owner->IsOpen()) {
      answer = static_cast<int>(owner->AskAbortRetryIgnore(text, title, retry_returns));
    } else {
      answer = static_cast<int>(current_boxes->AskAbortRetryIgnore(text, title, retry_returns));
    }
    if (answer != 1 || retry_returns) return answer;
  }
}

bool AskRetryCancel(ModuleInstance instance, ConsoleWindow* owner, int id, ...) {
  char title[kBoxTitleSize];
  char text[kQuestionTextSize];
  va_list args;
  va_start(args, id);
  FormatQuestion(instance, id, title, text, args);
  va_end(args);
  if (owner != nullptr && owner->IsOpen()) {
    return owner->AskRetryCancel(text, title) == RetryCancel::kRetry;
  }
  return current_boxes->AskRetryCancel(text, title);
}

}  // namespace corvane
