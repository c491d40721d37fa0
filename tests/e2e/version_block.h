#pragma once

// Builds the version resource of a sample game executable: a VS_VERSION_INFO
// block with one string table (language and code page given as the eight hex
// digits "040904b0") holding FileVersion, as a resource compiler lays it out.

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::e2e {

std::vector<uint8_t> BuildVersionBlock(const std::string& file_version,
                                       const std::string& table_key = "040904b0");

// A resource-only PE image (made by the project's PE writer) carrying that
// version resource: what the patcher reads as the installed version.
std::vector<uint8_t> BuildGameExecutable(const std::string& file_version,
                                         const std::string& table_key = "040904b0",
                                         const std::string& filler = "");

}  // namespace corvane::e2e
