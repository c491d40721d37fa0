// Whole-file reads: the exact bytes (zeros and all), an empty file, and a
// missing one.

#include "foundation/whole_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace corvane {
namespace {

TEST(WholeFile, ReadsEveryByteOrSaysItCannot) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "corvane-whole-file";
  std::filesystem::create_directories(dir);
  const std::string data("a\0b\r\n\xff", 6);
  std::ofstream(dir / "data", std::ios::binary) << data;
  std::ofstream(dir / "empty", std::ios::binary).close();

  std::vector<uint8_t> bytes = {9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_TRUE(ReadWholeFile((dir / "data").string(), &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), data);
  std::string text = "left over";
  ASSERT_TRUE(ReadWholeFile((dir / "empty").string(), &text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ReadWholeFile((dir / "missing").string(), &text));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace corvane
