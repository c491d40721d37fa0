#pragma once

#include <cstdint>

#include "platform/message_box.h"
#include "ui/console_window.h"

namespace corvane {

// Message ids of the catalogue (message_texts.h holds the texts).
enum MessageId : int {
  kMsgPatchTitle = 1,
  kMsgNotInstalled = 2,
  kMsgVersionNotSupported = 3,
  kMsgAlreadyApplied = 4,
  kMsgInstalledIsNewer = 5,
  kMsgPatchApplied = 6,
  kMsgDiskFull = 7,
  kMsgAddonInstalled = 8,
  kMsgPatchError = 9,
  kMsgFileMissing = 10,
  kMsgVerifying = 11,
  kMsgFileError = 12,
  kMsgNoVersionCrc = 13,
  kMsgInstallationDamaged = 14,
  kMsgNoFileCrc = 15,
  kMsgUpdatingTitle = 16,
  kMsgInstallingAddon = 17,
  kMsgCheckingFile = 18,
  kMsgVersionRequired = 19,
  kMsgFileWarning = 20,
  kMsgFileErrorShort = 21,
  // Texts of the sound behaviour around faults the original catalogue had no
  // words for: files in use, unwritable folders, a second run, registry
  // failures, a stopped run and a payload file that does not open.
  kMsgFileInUse = 22,          // %s: the installed file; Retry/Cancel
  kMsgFolderNotWritable = 23,  // %s: the folder; Retry/Cancel
  kMsgAlreadyRunning = 24,
  kMsgRegistryFailed = 25,  // %s: key and value
  kMsgPatchStopped = 26,
  kMsgCannotOpenPatch = 27,  // %s: the payload file named on the command line
  kMsgRegistryBusy = 28,     // %s: where the registry lives (native: the prefix)
};

// Where the catalogue's boxes go: the system's boxes (platform/message_box.h)
// unless replaced. One process-wide object, as with the reporting functions;
// tests replace it to see the boxes and answer them.
class MessageBoxFunctions {
 public:
  virtual ~MessageBoxFunctions() = default;
  virtual void Show(const char* text, const char* title, platform::BoxIcon icon);
  virtual platform::BoxAnswer AskAbortRetryIgnore(const char* text, const char* title,
                                                  bool retry_default);
  // True for Retry.
  virtual bool AskRetryCancel(const char* text, const char* title);
};
// The current object; never null.
MessageBoxFunctions* GetMessageBoxFunctions();
// Installs `functions` (null restores the default) and answers the previous one.
MessageBoxFunctions* SetMessageBoxFunctions(MessageBoxFunctions* functions);

// The application's display name put in place of "#APPNAME": "Corvane" until
// the patch run sets the manifest's "displayName". Null or empty restores
// "Corvane". Process-wide; copied.
void SetDisplayName(const char* name);
const char* DisplayName();

// The language texts are chosen in: 0 (the default) follows the user's
// interface language (platform/user_language.h); another Windows language id
// forces that language. For tests and for a caller that knows better.
void SetMessageLanguage(uint16_t language);
uint16_t MessageLanguage();

// Loads message `id` into `out`: the text (from `instance`'s string table when
// it has that string, else from the built-in table in the current language,
// English when the language has no block; empty for an unknown id, at most
// 1,023 characters) with every "#APPNAME" replaced by the display name, cut to
// size - 1 characters and always terminated. A placeholder that meets the end
// of the buffer is replaced only in part. REQUIRES: size >= 1.
void LoadMessage(ModuleInstance instance, int id, char* out, int size);
inline void LoadMessage(const platform::ResourceModule& instance, int id, char* out, int size) {
  LoadMessage(&instance, id, out, size);
}

// LoadMessage for a text that then serves as a printf format: each "%" of the
// display name comes doubled, so that the name shows as it is and never makes
// the format read arguments that are not there, and a cut never leaves a
// lone "%" at the end.
void LoadMessageFormat(ModuleInstance instance, int id, char* out, int size);
inline void LoadMessageFormat(const platform::ResourceModule& instance, int id, char* out,
                              int size) {
  LoadMessageFormat(&instance, id, out, size);
}

// Logs `text` (ReportLog) and shows it in a box titled with kMsgPatchTitle.
void ShowError(ModuleInstance instance, const char* text,
               platform::BoxIcon icon = platform::BoxIcon::kError);
inline void ShowError(const platform::ResourceModule& instance, const char* text,
                      platform::BoxIcon icon = platform::BoxIcon::kError) {
  ShowError(&instance, text, icon);
}

// Shows the system's text for the last failed system call in a box titled
// "Error" with the information icon.
void ShowSystemError();

// Asks Abort/Retry/Ignore about message `id` formatted with the arguments
// (template 1,023 characters, text cut at 2,047), titled with kMsgPatchTitle. The
// question belongs to `owner` when that window is open (its terminal, its
// dialog), else it is the system's box. Answers 0 Abort, 1 Retry, 2 Ignore.
// `retry_returns` makes Retry the default button and answers it at once;
// without it Retry asks the same question again until Abort or Ignore. Where
// nobody can answer (no terminal), the answer is Abort.
int AskAbortRetryIgnore(ModuleInstance instance, ConsoleWindow* owner, bool retry_returns, int id,
                        ...);

// Asks Retry (the default) or Cancel about message `id` formatted with the
// arguments, titled with kMsgPatchTitle, for something outside the patch that the
// player can clear (kMsgFileInUse, kMsgFolderNotWritable). The question
// belongs to `owner` when that window is open, else it is the system's box.
// True for Retry; where nobody can answer, the answer is Cancel.
bool AskRetryCancel(ModuleInstance instance, ConsoleWindow* owner, int id, ...);

}  // namespace corvane
