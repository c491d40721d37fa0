#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// The update file's checksum: every byte of the new file taken as a signed
// 8-bit value, summed in 32 bits that wrap. Answers `sum` plus the bytes of
// `data`; start with 0 and feed the file in order (the order does not matter
// to the result, but callers keep it). 0xFF adds -1, 0x80 adds -128.
uint32_t AddByteSum(uint32_t sum, const uint8_t* data, size_t size);

}  // namespace corvane
