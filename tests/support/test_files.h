#pragma once

// Whole-file reads and writes for tests, through the standard library so
// that the code under test is not also the code that checks it.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace corvane::test_support {

// Writes `bytes` to `path`, making its folders; false when it could not.
inline bool WriteTestFile(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

inline bool WriteTestFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  return WriteTestFile(path,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The whole file as text; empty when it cannot be read.
inline std::string ReadTestText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<uint8_t> ReadTestBytes(const std::filesystem::path& path) {
  std::string text = ReadTestText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

#ifdef CORVANE_SOURCE_DIR
// A file of the source tree as this test program opens it: under Wine the
// build machine's path is reached through drive Z:.
inline std::string SourceFilePath(std::string_view relative) {
  std::string path = std::string(CORVANE_SOURCE_DIR) + "/" + std::string(relative);
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (!path.empty() && path[0] == '\\') path = "Z:" + path;
#endif
  return path;
}
#endif

}  // namespace corvane::test_support
