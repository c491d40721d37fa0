#include "maker/cache_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/result_assertions.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::maker {
namespace {

namespace fs = std::filesystem;
using test_support::ReadTestText;
using test_support::ScratchFolder;
using test_support::WriteTestFile;

// A file is written whole under its temporary name and renamed; a write that
// cannot be done says why with its kind and leaves the old file as it was.
TEST(CacheFileTest, WritesWholeOrLeavesTheOldFileAndSaysWhy) {
  ScratchFolder scratch("cache-file");
  const std::string path = scratch / "deep/folder/out.bin";
  ASSERT_TRUE(Succeeded(WriteFileWhole(path, "new bytes", 9)));
  EXPECT_EQ(ReadTestText(path), "new bytes");
  EXPECT_FALSE(fs::exists(TemporaryNameOf(path)));

  // A folder where the file must go: the rename fails, the folder stays.
  const std::string blocked = scratch / "blocked";
  fs::create_directories(fs::path(blocked) / "inside");
  const Result refused = WriteFileWhole(blocked, "x", 1);
  EXPECT_EQ(refused.code(), ErrorCode::kWriteFailed);
  EXPECT_NE(refused.message().find("cannot rename"), std::string::npos) << refused.message();
  EXPECT_TRUE(fs::is_directory(fs::path(blocked) / "inside"));
  EXPECT_FALSE(fs::exists(TemporaryNameOf(blocked)));

  // A file where a folder must go: nothing can be created under it.
  ASSERT_TRUE(WriteTestFile(scratch / "plain", "old"));
  const Result uncreated = WriteFileWhole(scratch / "plain/child.bin", "x", 1);
  EXPECT_EQ(uncreated.code(), ErrorCode::kWriteFailed);
  EXPECT_NE(uncreated.message().find("cannot create"), std::string::npos) << uncreated.message();
  EXPECT_EQ(ReadTestText(scratch / "plain"), "old");
}

}  // namespace
}  // namespace corvane::maker
