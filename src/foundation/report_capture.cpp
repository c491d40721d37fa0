#include "foundation/report_capture.h"

namespace corvane {

ScopedReportCapture::ScopedReportCapture() : previous_(SetAppFrameFunctions(this)) {}

ScopedReportCapture::~ScopedReportCapture() { SetAppFrameFunctions(previous_); }

void ScopedReportCapture::Record(ReportSlot slot, int severity, const char* format, va_list args) {
  char text[kReportBufferSize];
  int length = FormatReportText(text, format, args);
  reports_.push_back(CapturedReport{slot, severity, std::string(text, length)});
}

void ScopedReportCapture::Log(const char* format, va_list args) {
  Record(ReportSlot::kLog, 0, format, args);
}
void ScopedReportCapture::Warning(const char* format, va_list args) {
  Record(ReportSlot::kWarning, 0, format, args);
}
void ScopedReportCapture::ErrorAt(const char* format, va_list args) {
  Record(ReportSlot::kErrorAt, 0, format, args);
}
void ScopedReportCapture::Message(const char* format, va_list args) {
  Record(ReportSlot::kMessage, 0, format, args);
}
void ScopedReportCapture::Error(const char* format, va_list args) {
  Record(ReportSlot::kError, 0, format, args);
}
void ScopedReportCapture::ErrorLevel(int severity, const char* format, va_list args) {
  Record(ReportSlot::kErrorLevel, severity, format, args);
}
void ScopedReportCapture::DataWarning(const char* format, va_list args) {
  Record(ReportSlot::kDataWarning, 0, format, args);
}

std::vector<std::string> ScopedReportCapture::Texts(ReportSlot slot) const {
  std::vector<std::string> texts;
  for (const CapturedReport& report : reports_) {
    if (report.slot == slot) texts.push_back(report.text);
  }
  return texts;
}

int ScopedReportCapture::Count(ReportSlot slot) const {
  int count = 0;
  for (const CapturedReport& report : reports_) {
    if (report.slot == slot) ++count;
  }
  return count;
}

bool ScopedReportCapture::Contains(ReportSlot slot, const std::string& fragment) const {
  for (const CapturedReport& report : reports_) {
    if (report.slot == slot && report.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

bool ScopedReportCapture::Contains(const std::string& fragment) const {
  for (const CapturedReport& report : reports_) {
    if (report.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

}  // namespace corvane
