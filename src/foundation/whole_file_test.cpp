// Whole-file reads: the exact bytes (zeros and all), an empty file, and a
// missing one.

#include "foundation/whole_file.h"

#include <gtest/gtest.h>

#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane {
namespace {

TEST(WholeFile, ReadsEveryByteOrSaysItCannot) {
  test_support::ScratchFolder dir("whole-file");
  const std::string data("a\0b\r\n\xff", 6);
  ASSERT_TRUE(test_support::WriteTestFile(dir / "data", data));
  ASSERT_TRUE(test_support::WriteTestFile(dir / "empty", ""));

  std::vector<uint8_t> bytes = {9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_TRUE(ReadWholeFile(dir / "data", &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), data);
  std::string text = "left over";
  ASSERT_TRUE(ReadWholeFile(dir / "empty", &text));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ReadWholeFile(dir / "missing", &text));
}

}  // namespace
}  // namespace corvane
