#pragma once

// Helpers shared by the engine's tests: a scratch directory that is also the
// current directory (so each test has its own "patch.log" and tests can run
// in parallel), and whole-file reads and writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace corvane::testing_support {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  }
  ASSERT_EQ(std::fclose(file), 0);
}

inline bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

inline Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof(block), file)) > 0) {
    bytes.insert(bytes.end(), block, block + got);
  }
  std::fclose(file);
  return bytes;
}

inline std::string ReadText(const std::string& path) {
  Bytes bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Little-endian 32-bit field appended to an update being built by hand.
inline void PutField(Bytes& bytes, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A fresh directory under the system's temporary directory that is the
// current directory while the test runs.
class ScratchDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("corvane_engine_") + info->test_suite_name() + "_" +
                       info->name() + "_" + std::to_string(random());
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::temp_directory_path() / name;
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }

  void TearDown() override {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    std::filesystem::remove_all(dir_, error);
  }

  // Absolute path of a file in the scratch directory.
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // The scratch directory with a trailing separator, for ProcessFile.
  std::string DirectoryPrefix() const {
    std::string text = dir_.string();
    text += static_cast<char>(std::filesystem::path::preferred_separator);
    return text;
  }

  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

}  // namespace corvane::testing_support
