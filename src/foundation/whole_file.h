#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// Reads a whole file in one go into `bytes` (replacing what was there).
// False when it cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace corvane
