#include "foundation/app_frame.h"

#include "platform/debug_output.h"

namespace corvane {

namespace {

constinit AppFrameFunctions g_default_functions;
constinit AppFrameFunctions* g_functions = &g_default_functions;

void WriteDefault(const char* format, va_list args) {
  char line[kReportBufferSize];
  FormatReportLine(line, format, args);
  platform::DebugOutput(line);
}

}  // namespace

int FormatReportText(char (&buffer)[kReportBufferSize], const char* format, va_list args) {
  buffer[0] = '\0';
  if (format == nullptr) return 0;
  int length = std::vsnprintf(buffer, kReportBufferSize, format, args);
  if (length < 0) {
    buffer[0] = '\0';
    return 0;
  }
  if (length > kReportBufferSize - 1) length = kReportBufferSize - 1;
  return length;
}

int FormatReportLine(char (&buffer)[kReportBufferSize], const char* format, va_list args) {
  int length = FormatReportText(buffer, format, args);
  if (length <= kReportBufferSize - 2) {
    buffer[length++] = '\n';
    buffer[length] = '\0';
  }
  return length;
}

void AppFrameFunctions::Log(const char* format, va_list args) { WriteDefault(format, args); }
void AppFrameFunctions::Warning(const char* format, va_list args) { WriteDefault(format, args); }
void AppFrameFunctions::ErrorAt(const char* format, va_list args) { WriteDefault(format, args); }
void AppFrameFunctions::Message(const char* format, va_list args) { WriteDefault(format, args); }
void AppFrameFunctions::Error(const char* format, va_list args) { WriteDefault(format, args); }
void AppFrameFunctions::ErrorLevel(int, const char* format, va_list args) {
  WriteDefault(format, args);
}
void AppFrameFunctions::DataWarning(const char* format, va_list args) {
  WriteDefault(format, args);
}
void AppFrameFunctions::ShowText(int, const char*) {}
void AppFrameFunctions::ShowLine(int, int, const char*) {}

AppFrameFunctions* GetAppFrameFunctions() { return g_functions; }

AppFrameFunctions* SetAppFrameFunctions(AppFrameFunctions* functions) {
  AppFrameFunctions* previous = g_functions;
  g_functions = functions ? functions : &g_default_functions;
  return previous;
}

#define CORVANE_FORWARD_REPORT(call) \
  va_list args;                      \
  va_start(args, format);            \
  g_functions->call;                 \
  va_end(args)

void ReportLog(const char* format, ...) { CORVANE_FORWARD_REPORT(Log(format, args)); }
void ReportWarning(const char* format, ...) { CORVANE_FORWARD_REPORT(Warning(format, args)); }
void ReportErrorAt(const char* format, ...) { CORVANE_FORWARD_REPORT(ErrorAt(format, args)); }
void ReportMessage(const char* format, ...) { CORVANE_FORWARD_REPORT(Message(format, args)); }
void ReportError(const char* format, ...) { CORVANE_FORWARD_REPORT(Error(format, args)); }
void ReportErrorLevel(int severity, const char* format, ...) {
  CORVANE_FORWARD_REPORT(ErrorLevel(severity, format, args));
}
void ReportDataWarning(const char* format, ...) {
  CORVANE_FORWARD_REPORT(DataWarning(format, args));
}

#undef CORVANE_FORWARD_REPORT

void ReportLogV(const char* format, va_list args) { g_functions->Log(format, args); }
void ReportWarningV(const char* format, va_list args) { g_functions->Warning(format, args); }
void ReportErrorAtV(const char* format, va_list args) { g_functions->ErrorAt(format, args); }

}  // namespace corvane
