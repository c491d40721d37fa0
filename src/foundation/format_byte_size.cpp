#include "foundation/format_byte_size.h"

namespace corvane {

RString FormatByteSize(uint32_t size) {
  constexpr double kKB = 1024.0;
  constexpr double kMB = 1048576.0;
  constexpr double kGB = 1073741824.0;
  const double value = static_cast<double>(size);
  if (size < 1000u) return FormatString("%d B", static_cast<int>(size));
  if (size < 9728u) return FormatString("%.1f KB", value / kKB);
  if (size < 1023488u) return FormatString("%.0f KB", value / kKB);
  if (size < 9961472u) return FormatString("%.1f MB", value / kMB);
  if (size < 1048051712u) return FormatString("%.0f MB", value / kMB);
  return FormatString("%.1f GB", value / kGB);
}

}  // namespace corvane
