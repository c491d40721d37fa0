#pragma once

#include <cstdint>

#include "foundation/r_string.h"

namespace corvane {

// Human-readable size: "%d B" below 1,000; then KB, MB and GB (units of
// 1,024) with one decimal while the value is under 9.5 units and none up to
// 999.5 units. 1,000 bytes already read "1.0 KB".
RString FormatByteSize(uint32_t size);

}  // namespace corvane
