#pragma once

// Helpers shared by the engine's tests: a scratch directory that is also the
// current directory (so each test has its own "patch.log" and tests can run
// in parallel), and whole-file reads and writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::testing_support {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  ASSERT_TRUE(test_support::WriteTestFile(path, bytes)) << path;
}

inline bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

inline Bytes ReadFile(const std::string& path) { return test_support::ReadTestBytes(path); }

inline std::string ReadText(const std::string& path) { return test_support::ReadTestText(path); }

// Little-endian 32-bit field appended to an update being built by hand.
inline void PutField(Bytes& bytes, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A scratch folder of the test's own that is the current directory while the
// test runs.
class ScratchDirectoryTest : public ::testing::Test {
 protected:
  // Absolute path of a file in the scratch directory.
  std::string Path(const std::string& name) const { return folder_ / name; }
  // The scratch directory with a trailing separator, for ProcessFile.
  std::string DirectoryPrefix() const {
    std::string text = folder_.text();
    text += static_cast<char>(std::filesystem::path::preferred_separator);
    return text;
  }

  test_support::ScratchFolder folder_{"engine"};
  test_support::ScopedCurrentDirectory inside_{folder_.path()};
};

}  // namespace corvane::testing_support
