#pragma once

#include <string>
#include <vector>

#include "foundation/app_frame.h"

namespace corvane {

// Which reporting slot a report came through.
enum class ReportSlot {
  kLog = 1,
  kWarning = 2,
  kErrorAt = 3,
  kMessage = 4,
  kError = 5,
  kErrorLevel = 6,
  kDataWarning = 7,
};

struct CapturedReport {
  ReportSlot slot;
  int severity;      // ErrorLevel only; 0 for the other slots
  std::string text;  // formatted like the default line, without the line feed
};

// Records every report made while it is alive, in order, instead of writing
// it to the debugger output; restores the previous reporting object when
// destroyed. Captures nest (the innermost one records). Not thread-safe, like
// the reporting pointer itself.
class ScopedReportCapture final : public AppFrameFunctions {
 public:
  ScopedReportCapture();
  ~ScopedReportCapture() override;

  void Log(const char* format, va_list args) override;
  void Warning(const char* format, va_list args) override;
  void ErrorAt(const char* format, va_list args) override;
  void Message(const char* format, va_list args) override;
  void Error(const char* format, va_list args) override;
  void ErrorLevel(int severity, const char* format, va_list args) override;
  void DataWarning(const char* format, va_list args) override;

  const std::vector<CapturedReport>& Reports() const { return reports_; }
  // Texts of one slot, in order.
  std::vector<std::string> Texts(ReportSlot slot) const;
  int Count(ReportSlot slot) const;
  int Count() const { return static_cast<int>(reports_.size()); }
  // True when some report of `slot` contains `fragment`.
  bool Contains(ReportSlot slot, const std::string& fragment) const;
  // True when some report of any slot contains `fragment`.
  bool Contains(const std::string& fragment) const;
  void Clear() { reports_.clear(); }

 private:
  void Record(ReportSlot slot, int severity, const char* format, va_list args);

  AppFrameFunctions* previous_;
  std::vector<CapturedReport> reports_;
};

}  // namespace corvane
