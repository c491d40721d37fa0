#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/file_io.h"

namespace corvane::platform {
namespace {

TEST(PosixFileIo, ErrorNumbersMapOntoStreamCodes) {
  EXPECT_EQ(FileErrorToLSError(0), LSOK);
  EXPECT_EQ(FileErrorToLSError(ENOENT), LSNoFile);
  EXPECT_EQ(FileErrorToLSError(ENOSPC), LSDiskFull);
  for (int access : {EACCES, EPERM, EROFS, EBUSY})
    EXPECT_EQ(FileErrorToLSError(access), LSNoAccess);
  EXPECT_EQ(FileErrorToLSError(EIO), LSDiskError);
  EXPECT_EQ(FileErrorToLSError(EINVAL), LSUnknownError);
  EXPECT_EQ(FileErrorToLSError(ENOTDIR), LSUnknownError);
}

TEST(PosixFileIo, WindowsPathsReachTheHostFile) {
  const std::string host = ::testing::TempDir() + "posix_file_io_test.bin";
  std::string windows_path = host;
  for (char& c : windows_path) {
    if (c == '/') c = '\\';
  }
  FileHandle out = FileOpenWrite(windows_path.c_str());
  ASSERT_TRUE(IsValidFileHandle(out));
  EXPECT_EQ(FileWrite(out, "through", 7), 7u);
  EXPECT_TRUE(FileClose(out));
  ScopedFile in(FileOpenRead(host.c_str()));
  char buffer[16] = {};
  EXPECT_EQ(FileReadAt(in.Get(), 0, buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "through");
  EXPECT_TRUE(in.Close());
  std::remove(host.c_str());
}

TEST(PosixFileIo, FailuresLeaveTheirErrorNumber) {
  const std::string missing = ::testing::TempDir() + "posix_file_io_missing.bin";
  EXPECT_EQ(FileOpenRead(missing.c_str()), kInvalidFileHandle);
  EXPECT_EQ(FileLastError(), ENOENT);
  EXPECT_EQ(FileOpenRead(::testing::TempDir().c_str()), kInvalidFileHandle);  // a directory
  EXPECT_EQ(FileErrorToLSError(FileLastError()), LSNoAccess);
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
