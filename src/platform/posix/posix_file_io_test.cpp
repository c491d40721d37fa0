#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/file_io.h"

namespace corvane::platform {
namespace {

TEST(PosixFileIo, ErrorNumbersMapOntoStreamCodes) {
  EXPECT_EQ(FileErrorToLSError(0), 0);
  EXPECT_EQ(FileErrorToLSError(ENOENT), 1);
  EXPECT_EQ(FileErrorToLSError(ENOSPC), 7);
  for (int access : {EACCES, EPERM, EROFS, EBUSY}) EXPECT_EQ(FileErrorToLSError(access), 8);
  EXPECT_EQ(FileErrorToLSError(EIO), 9);
  EXPECT_EQ(FileErrorToLSError(EINVAL), 12);
  EXPECT_EQ(FileErrorToLSError(ENOTDIR), 12);
}

TEST(PosixFileIo, WriteSeekReadSizeAndTimeThroughWindowsPaths) {
  const std::string host = ::testing::TempDir() + "posix_file_io_test.bin";
  std::string windows_path = host;
  for (char& c : windows_path) {
    if (c == '/') c = '\\';
  }
  FileHandle out = FileOpenWrite(windows_path.c_str());
  ASSERT_TRUE(IsValidFileHandle(out));
  EXPECT_EQ(FileWrite(out, "hello world", 11), 11u);
  ASSERT_TRUE(FileSeek(out, 6));
  EXPECT_EQ(FileWrite(out, "WORLD", 5), 5u);
  EXPECT_TRUE(FileClose(out));

  FileHandle append = FileOpenAppend(windows_path.c_str());
  ASSERT_TRUE(IsValidFileHandle(append));
  EXPECT_EQ(FileWrite(append, "!", 1), 1u);
  EXPECT_TRUE(FileClose(append));

  ScopedFile in(FileOpenRead(windows_path.c_str()));
  ASSERT_TRUE(in.IsValid());
  EXPECT_EQ(FileSize32(in.Get()), 12u);
  uint64_t size = 0;
  EXPECT_TRUE(FileSize64(in.Get(), &size));
  EXPECT_EQ(size, 12u);
  char buffer[32] = {};
  EXPECT_EQ(FileReadAt(in.Get(), 6, buffer, sizeof(buffer)), 6);
  EXPECT_STREQ(buffer, "WORLD!");
  EXPECT_EQ(FileReadAt(in.Get(), 100, buffer, 4), 0);
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  EXPECT_LE(std::llabs(FileWriteTime(in.Get()) - now), 60);
  EXPECT_TRUE(in.Close());
  std::remove(host.c_str());
}

TEST(PosixFileIo, FailuresLeaveTheirErrorNumber) {
  const std::string missing = ::testing::TempDir() + "posix_file_io_missing.bin";
  EXPECT_EQ(FileOpenRead(missing.c_str()), kInvalidFileHandle);
  EXPECT_EQ(FileLastError(), ENOENT);
  EXPECT_EQ(FileOpenRead(::testing::TempDir().c_str()), kInvalidFileHandle);  // a directory
  EXPECT_EQ(FileErrorToLSError(FileLastError()), 8);
  EXPECT_EQ(FileOpenWrite((missing + "/sub/x").c_str()), kInvalidFileHandle);
  EXPECT_FALSE(FileClose(kInvalidFileHandle));
  EXPECT_EQ(FileSize32(kNullFileHandle), 0xFFFFFFFFu);
}

TEST(PosixFileIo, ErrorNumbersMapOntoFaults) {
  EXPECT_EQ(ClassifyFileError(0), FileFault::kNone);
  EXPECT_EQ(ClassifyFileError(ENOENT), FileFault::kNotFound);
  for (int busy : {ETXTBSY, EBUSY}) EXPECT_EQ(ClassifyFileError(busy), FileFault::kInUse);
  for (int denied : {EACCES, EPERM, EROFS}) {
    EXPECT_EQ(ClassifyFileError(denied), FileFault::kAccessDenied);
  }
  EXPECT_EQ(ClassifyFileError(ENOSPC), FileFault::kDiskFull);
  EXPECT_EQ(ClassifyFileError(EIO), FileFault::kOther);
  // A failed call is told the same way.
  const std::string missing = ::testing::TempDir() + "no_such_dir/no_such_file";
  EXPECT_FALSE(IsValidFileHandle(FileCreateNew(missing.c_str())));
  EXPECT_EQ(LastFileFault(), FileFault::kNotFound);
}

}  // namespace
}  // namespace corvane::platform
