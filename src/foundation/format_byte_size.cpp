#include "foundation/format_byte_size.h"

#include <initializer_list>

namespace corvane {

RString FormatByteSize(uint64_t size) {
  if (size < 1000u) return FormatString("%d B", static_cast<int>(size));
  // Below 9.5 units one decimal, below 999.5 none, then the next unit. The
  // divisions by powers of two are exact, so the boundaries fall on whole bytes.
  double value = static_cast<double>(size);
  for (const char* unit : {"KB", "MB"}) {
    value /= 1024.0;
    if (value < 9.5) return FormatString("%.1f %s", value, unit);
    if (value < 999.5) return FormatString("%.0f %s", value, unit);
  }
  return FormatString("%.1f GB", value / 1024.0);
}

}  // namespace corvane
