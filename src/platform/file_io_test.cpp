// The file I/O contract, the same on both backends: what a write, an append,
// a read at an offset, the sizes and the time answer, who may open a file
// at once, and how failures are classified. The backends' own tests check
// their error numbers.

#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "support/scratch_folder.h"

namespace corvane::platform {
namespace {

// A file in this test process's own scratch folder.
std::string TempPath(const char* name) {
  static test_support::ScratchFolder folder("file-io");
  return folder / name;
}

TEST(FileIoContract, WriteSeekAppendReadSizeAndTime) {
  const std::string path = TempPath("round_trip.bin");
  FileHandle out = FileOpenWrite(path.c_str());
  ASSERT_TRUE(IsValidFileHandle(out));
  EXPECT_EQ(FileWrite(out, "hello world", 11), 11u);
  ASSERT_TRUE(FileSeek(out, 6));
  EXPECT_EQ(FileWrite(out, "WORLD", 5), 5u);
  EXPECT_TRUE(FileSync(out));
  EXPECT_TRUE(FileClose(out));

  FileHandle append = FileOpenAppend(path.c_str());
  ASSERT_TRUE(IsValidFileHandle(append));
  EXPECT_EQ(FileWrite(append, "!", 1), 1u);
  EXPECT_TRUE(FileClose(append));

  ScopedFile in(FileOpenRead(path.c_str()));
  ASSERT_TRUE(in.IsValid());
  ScopedFile second_reader(FileOpenRead(path.c_str()));
  EXPECT_TRUE(second_reader.IsValid()) << "readers share a file";
  EXPECT_EQ(FileSize32(in.Get()), 12u);
  uint64_t size = 0;
  EXPECT_TRUE(FileSize64(in.Get(), &size));
  EXPECT_EQ(size, 12u);
  char buffer[32] = {};
  EXPECT_EQ(FileReadAt(in.Get(), 6, buffer, sizeof(buffer)), 6);
  EXPECT_STREQ(buffer, "WORLD!");
  EXPECT_EQ(FileReadAt(in.Get(), 100, buffer, 4), 0) << "past the end reads nothing";
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  EXPECT_LE(std::llabs(FileWriteTime(in.Get()) - now), 60);
  EXPECT_TRUE(in.Close());
  EXPECT_TRUE(second_reader.Close());
  std::remove(path.c_str());
}

TEST(FileIoContract, CreateNewNeverOpensWhatIsThere) {
  const std::string path = TempPath("create_new.bin");
  std::remove(path.c_str());
  FileHandle first = FileCreateNew(path.c_str());
  ASSERT_TRUE(IsValidFileHandle(first));
  EXPECT_EQ(FileWrite(first, "kept", 4), 4u);
  EXPECT_TRUE(FileClose(first));
  EXPECT_EQ(FileCreateNew(path.c_str()), kInvalidFileHandle);
  ScopedFile in(FileOpenRead(path.c_str()));
  char buffer[8] = {};
  EXPECT_EQ(FileReadAt(in.Get(), 0, buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "kept") << "a refused create leaves the file as it was";
  EXPECT_TRUE(in.Close());
  std::remove(path.c_str());
}

TEST(FileIoContract, FailuresAreToldAsFaults) {
  const std::string missing = TempPath("missing.bin");
  std::remove(missing.c_str());
  EXPECT_EQ(FileOpenRead(missing.c_str()), kInvalidFileHandle);
  EXPECT_EQ(LastFileFault(), FileFault::kNotFound);
  EXPECT_FALSE(IsValidFileHandle(FileCreateNew((TempPath("no_such_dir") + "/x").c_str())));
  EXPECT_EQ(LastFileFault(), FileFault::kNotFound);
  EXPECT_FALSE(FileClose(kInvalidFileHandle));
  EXPECT_EQ(FileSize32(kInvalidFileHandle), 0xFFFFFFFFu);
  uint64_t size = 0;
  EXPECT_FALSE(FileSize64(kInvalidFileHandle, &size));
  EXPECT_EQ(ClassifyFileError(0), FileFault::kNone);
}

}  // namespace
}  // namespace corvane::platform
