#pragma once

#include <cstdarg>
#include <cstdio>

#include "foundation/r_string.h"

// Printf checking that matches the runtime's vsnprintf on both builds (the
// mingw runtime formats like glibc once its ANSI stdio is in use).
#if defined(__MINGW_PRINTF_FORMAT)
#define CORVANE_PRINTF(fmt, args) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, args)))
#elif defined(__GNUC__)
#define CORVANE_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define CORVANE_PRINTF(fmt, args)
#endif

namespace corvane {

// Developer diagnostics. Every report of the library goes through the object
// that the process-wide pointer refers to; the default object formats each
// report into one line of at most 511 characters and hands it to the debugger
// output. No report is fatal: callers carry on with their own recovery.
//
// Replacement objects override the operations they care about and inherit the
// default for the rest.
class AppFrameFunctions {
 public:
  constexpr AppFrameFunctions() = default;
  virtual ~AppFrameFunctions() = default;

  virtual void Log(const char* format, va_list args);
  virtual void Warning(const char* format, va_list args);
  virtual void ErrorAt(const char* format, va_list args);
  virtual void Message(const char* format, va_list args);
  virtual void Error(const char* format, va_list args);
  virtual void ErrorLevel(int severity, const char* format, va_list args);
  virtual void DataWarning(const char* format, va_list args);
  virtual void ShowText(int kind, const char* text);
  virtual void ShowLine(int line, int kind, const char* text);

  AppFrameFunctions(const AppFrameFunctions&) = delete;
  AppFrameFunctions& operator=(const AppFrameFunctions&) = delete;
};

// The current reporting object; never null.
AppFrameFunctions* GetAppFrameFunctions();
// Installs `functions` (null restores the static default) and answers the
// previous object so the caller can put it back.
AppFrameFunctions* SetAppFrameFunctions(AppFrameFunctions* functions);

// Capacity of one formatted report, terminator included.
inline constexpr int kReportBufferSize = 512;

// Formats a report as the default object writes it: at most 511 characters,
// longer output cut; a line feed is appended only when the text has at most
// 510 characters. Answers the length written to `buffer` (without terminator).
int FormatReportLine(char (&buffer)[kReportBufferSize], const char* format, va_list args);
// Same formatting without the line feed (what the report says).
int FormatReportText(char (&buffer)[kReportBufferSize], const char* format, va_list args);

void ReportLog(const char* format, ...) CORVANE_PRINTF(1, 2);
void ReportWarning(const char* format, ...) CORVANE_PRINTF(1, 2);
void ReportErrorAt(const char* format, ...) CORVANE_PRINTF(1, 2);
void ReportMessage(const char* format, ...) CORVANE_PRINTF(1, 2);
void ReportError(const char* format, ...) CORVANE_PRINTF(1, 2);
void ReportErrorLevel(int severity, const char* format, ...) CORVANE_PRINTF(2, 3);
void ReportDataWarning(const char* format, ...) CORVANE_PRINTF(1, 2);

void ReportLogV(const char* format, va_list args);
void ReportWarningV(const char* format, va_list args);
void ReportErrorAtV(const char* format, va_list args);

// The two location conventions of internal errors.
inline void ReportAssertionFailed(const char* file, int line, const char* condition) {
  ReportErrorAt("%s(%d) : Assertion failed '%s'", file, line, condition);
}
inline void ReportInternalError(const char* file, int line, const char* text) {
  ReportErrorAt("%s(%d) : %s", file, line, text);
}

}  // namespace corvane

// Reports a failed condition and carries on; never stops the program.
#define CORVANE_VERIFY(condition)                                                       \
  do {                                                                                  \
    if (!(condition)) ::corvane::ReportAssertionFailed(__FILE__, __LINE__, #condition); \
  } while (0)

// Reports an internal error with a fixed text ("Not implemented", ...).
#define CORVANE_REPORT_INTERNAL(text) ::corvane::ReportInternalError(__FILE__, __LINE__, text)
