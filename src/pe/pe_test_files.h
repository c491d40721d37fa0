#pragma once

// Images the project did not write, for the PE tests: DLLs of the installed
// Wine (32-bit and 64-bit) and the resource-compiler fixture of testdata/.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace corvane::pe::testing {

inline const char* const kWine32Dir = "/usr/lib/i386-linux-gnu/wine/i386-windows";
inline const char* const kWine64Dir = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

inline std::vector<uint8_t> ReadTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Up to `limit` DLLs of the directory, sorted by name (empty when it is missing).
inline std::vector<std::string> DllsIn(const char* directory, size_t limit) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    if (entry.path().extension() == ".dll") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  if (files.size() > limit) files.resize(limit);
  return files;
}

inline std::string FixturePath() {
#ifdef CORVANE_PE_FIXTURE
  return CORVANE_PE_FIXTURE;
#else
  return {};
#endif
}

}  // namespace corvane::pe::testing
