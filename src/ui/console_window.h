#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "foundation/app_frame.h"

namespace corvane {

namespace platform {
class ResourceModule;
}

// The module whose string table holds the window's message texts; null means
// the program's own texts.
using ModuleInstance = const platform::ResourceModule*;

// Loads message `id` into `out` (at most size - 1 characters, "#APPNAME"
// replaced, always terminated, ready to serve as a printf format): the
// message catalogue's LoadMessageFormat. The window does not know the
// catalogue (it lives above this layer); whoever makes a window hands it
// this function.
using LoadMessageFunction = void (*)(ModuleInstance instance, int id, char* out, int size);

// Answer of an Abort/Retry/Ignore question (0, 1, 2 as the catalogue returns).
enum class AbortRetryIgnore { kAbort = 0, kRetry = 1, kIgnore = 2 };
// Answer of a Retry/Cancel question.
enum class RetryCancel { kCancel = 0, kRetry = 1 };

// The patcher's status display during a run: a title, one progress line that
// is overwritten as work advances, a log that keeps growing (trimmed from the
// top, see AddLine), an OK acknowledgement that ends it, and a non-blocking
// pump that keeps it responsive on the one thread that does all the work.
//
// Life: construct, Create, EnableOK(false), SetTitle, then any number of
// AddLine / SetProgress / SetProgressText / ProcessMessages, then at the end
// StopAnimation, a final AddLine, WaitForClose(true) and Destroy or delete.
// Window operations made before Create, after Destroy or after the user ended
// the window act on nothing and have no effect. Deleting the object does not
// end the window: that is Destroy's job.
//
// This class does the formatting and keeps the log text; a backend (dialog,
// terminal, test script) shows the results through the protected hooks.
// Single-threaded: every call on the thread that created the window.
class ConsoleWindow {
 public:
  // Buffer sizes of the formatted texts (terminator included).
  static constexpr int kTitleBufferSize = 512;
  static constexpr int kTemplateBufferSize = 1024;
  static constexpr int kLineBufferSize = 4096;
  // A log longer than this loses lines from its top before the next line is added.
  static constexpr size_t kLogTrimLength = 0x7800;  // 30,720

  explicit ConsoleWindow(LoadMessageFunction load_message) : load_message_(load_message) {}
  // Deleting does not end the window for the user (Destroy does), but the
  // object leaves the pumps.
  virtual ~ConsoleWindow();
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  // Makes the window visible with an empty progress line. A window that cannot
  // be made leaves the object without one (IsOpen false).
  void Create(ModuleInstance instance);
  void Create(const platform::ResourceModule& instance) { Create(&instance); }
  // Ends a window that still exists, at once; nothing when there is none.
  void Destroy();

  // Title / progress line from message `id` formatted with printf arguments:
  // the template at most 511 characters, the result cut at 511.
  void SetTitle(int id, ...);
  void SetProgress(int id, ...);
  // Progress line from a printf format (no message lookup), cut at 511; the
  // empty format clears the line.
  // (No printf checking attribute: SetProgressText("") is the way to clear
  // the line and would trip the empty-format warning.)
  void SetProgressText(const char* format, ...);
  // Appends message `id` formatted with printf arguments as one new log line:
  // the template at most 1,023 characters, the line at most 4,093, then
  // "\r\n". Before the line is appended, while the log is longer than 30,720
  // characters its first line (through its line feed) is removed; a log with
  // no line feed at all is emptied. The new line itself is never cut by trimming.
  void AddLine(int id, ...);
  void AddLineV(int id, va_list args);

  void EnableOK(bool enable);
  // Non-blocking: serves whatever waits (user input, repaint) for every
  // window of the thread and returns; nothing when this window does not exist
  // any more.
  void ProcessMessages();
  // Enables OK when asked, then blocks until the user has ended the window
  // (at once when it does not exist).
  void WaitForClose(bool enable_ok);
  // The window exists and the user has not ended it.
  bool IsOpen() const { return open_; }
  bool IsClosed() const { return !open_; }
  // The user ended the window while the run was still working (its close
  // box, a cancel, a stop request at the terminal, Close), as opposed to
  // acknowledging the end in WaitForClose or the run's own Destroy. The run
  // takes it as "stop": cleared by Create only.
  bool ClosedByUser() const { return closed_by_user_; }
  // Asks the window to end as if cancelled; takes effect at the next pump.
  void Close();

  // The question box of the update engine, owned by this window. Retry is
  // offered as the default when `retry_default` is set. The answer comes from
  // the backend (a dialog box, a terminal prompt, a test script).
  virtual AbortRetryIgnore AskAbortRetryIgnore(const char* text, const char* title,
                                               bool retry_default) = 0;
  // The question about something outside the patch that the player can
  // clear (a file in use, a folder they may not write): Retry, the default,
  // or Cancel. Unless the backend asks it itself, it is the system's box.
  virtual RetryCancel AskRetryCancel(const char* text, const char* title);

  // The module the window's texts come from (null: the built-in ones).
  ModuleInstance Instance() const { return instance_; }

  // What the log holds now ("\r\n" after every line); what a dialog would show.
  const std::string& LogText() const { return log_; }

 protected:
  // The backend makes its window; false when it cannot.
  virtual bool OpenWindow() = 0;
  // The backend removes its window (Destroy, or after the user ended it).
  virtual void CloseWindow() = 0;
  virtual void ShowTitle(const char* text) = 0;
  virtual void ShowProgress(const char* text) = 0;
  // The log after trimming and appending; `line` is the appended line with
  // its "\r\n" (also the tail of `log`). `trimmed` is set when lines were
  // removed from the top.
  virtual void ShowLog(const std::string& log, const char* line, bool trimmed) = 0;
  virtual void ShowOK(bool enabled) = 0;
  // Serves pending input without blocking. Calls Ended() when the user ended
  // the window.
  virtual void Pump() = 0;
  // Blocks until the next input and serves it (calls Ended() when that ended
  // the window). Answers false when no input can ever come (the window then
  // ends as if acknowledged).
  virtual bool WaitForInput() = 0;
  // A close request (Close); the window ends at the next pump.
  virtual void RequestClose() = 0;

  // For backends: the user ended the window (OK or cancel).
  void Ended();
  // Loads a message through the catalogue function (empty without one).
  void LoadWindowMessage(int id, char* out, int size) const;

 private:
  friend void ProcessPendingMessages();
  void SetOpen(bool open);
  void FormatMessage(int id, va_list args, int template_size, char* out, int out_size) const;

  LoadMessageFunction load_message_;
  ModuleInstance instance_ = nullptr;
  bool open_ = false;
  bool waiting_for_close_ = false;
  bool closed_by_user_ = false;
  std::string log_;
};

// The window with the looping busy indicator.
// What a finished run did, for a window that reports it in figures.
struct RunSummary {
  std::string from_version;  // the installed version the run started from
  std::string to_version;    // the patch's version; empty for an add-on
  std::string addon;         // the add-on's name; empty for a patch
  int files_updated = 0;     // replaced by version steps
  int files_copied = 0;      // whole files put in place
  int files_checked = 0;     // installed files read against a checksum list
  double seconds = 0;
  std::string log_path;  // the update engine's log, empty when it wrote none
};

// How far the current pass is: `files_done` of `files_total` files (of a
// version step, a whole-file pass, the files checked) and, where the pass
// knows them, `bytes_done` of `bytes_total` bytes of the payload it brings.
// A new total or a done of 0 starts a pass; a total of 0 ends it.
struct WorkProgress {
  int files_done = 0;
  int files_total = 0;
  uint64_t bytes_done = 0;
  uint64_t bytes_total = 0;  // 0: the pass counts files only
  std::string phase{};       // what the pass does ("update 1.00-1.01"); empty: not named
};

class ConsoleWindowProgress : public ConsoleWindow {
 public:
  using ConsoleWindow::ConsoleWindow;

  // Stops and blanks the busy indicator for good.
  virtual void StopAnimation() = 0;
  // Reports a run that ended well, after its last line. The dialog shows its
  // log only and ignores this.
  virtual void ShowSummary(const RunSummary& /*summary*/) {}
  // How far the current pass is. A window may show it in figures beside the
  // progress line; the dialog shows its progress line only and ignores this.
  virtual void ShowWork(const WorkProgress& /*work*/) {}
  // Shows a message of the update engine ("Incompatible patch version.\n").
  // By default it goes to standard output, as the engine prints it.
  virtual void ShowEngineMessage(const char* text);
};

// The same pump as ProcessMessages, with no window check: the system's message
// queue and every open window; the patch run calls it between version steps
// and passes.
void ProcessPendingMessages();

// Removes lines from the top of `log` by the window's rule (see AddLine).
// Answers true when something was removed.
bool TrimLog(std::string* log, size_t limit = ConsoleWindow::kLogTrimLength);

}  // namespace corvane
