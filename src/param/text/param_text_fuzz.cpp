// Fuzz target: the configuration text parser on arbitrary bytes, then the
// writer and the parser again on what was kept.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "stream/qo_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  corvane::ScopedReportCapture quiet;
  corvane::ParamFile file;
  corvane::ParamParseText(file, reinterpret_cast<const char*>(data), size, "fuzz.cpp");
  corvane::QOStrStream out;
  file.SaveText(out, 0, "\n");
  corvane::ParamFile again;
  corvane::ParamParseText(again, out.str() ? out.str() : "", static_cast<size_t>(out.GetLength()),
                          "again.cpp");
  quiet.Clear();
  return 0;
}
