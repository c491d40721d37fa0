// Loads arbitrary bytes as a binary configuration file, then writes the
// tree as text and walks all of it: whatever the bytes, the loader leaves a
// usable tree and nothing reads outside the input.
#include <cstddef>
#include <cstdint>

#include "foundation/app_frame.h"
#include "param/param_file.h"
#include "param/param_tree_stats.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

// Reports are the expected outcome of most inputs; formatting them is enough.
class QuietReports : public corvane::AppFrameFunctions {
 public:
  void Log(const char* format, va_list args) override { Format(format, args); }
  void Warning(const char* format, va_list args) override { Format(format, args); }
  void ErrorAt(const char* format, va_list args) override { Format(format, args); }
  void Error(const char* format, va_list args) override { Format(format, args); }
  void ErrorLevel(int, const char* format, va_list args) override { Format(format, args); }
  void DataWarning(const char* format, va_list args) override { Format(format, args); }

 private:
  static void Format(const char* format, va_list args) {
    char buffer[corvane::kReportBufferSize];
    corvane::FormatReportText(buffer, format, args);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietReports reports;
  corvane::SetAppFrameFunctions(&reports);
  corvane::QIStrStream in(data, size);
  corvane::ParamFile file;
  bool ok = file.LoadBin(in);
  corvane::QOStrStream text;
  file.SaveText(text, 0, "\n");
  corvane::ParamTreeStats stats = corvane::CollectParamTreeStats(file);
  if (ok) {
    // A tree that loaded cleanly saves again.
    corvane::QOStrStream binary;
    file.SaveBin(binary);
  }
  (void)stats;
  return 0;
}
