#pragma once

#include <cstdint>

#include "foundation/r_string.h"

namespace corvane {

// Human-readable size: "%d B" below 1,000; then KB, MB and GB (units of
// 1,024) with one decimal while the value is under 9.5 units and none up to
// 999.5 units; GB always with one decimal. 1,000 bytes already read "1.0 KB".
// Takes any 64-bit count; what 32-bit counts read is fixed by the window texts.
RString FormatByteSize(uint64_t size);

}  // namespace corvane
