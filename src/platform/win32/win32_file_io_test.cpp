#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/file_io.h"

namespace corvane::platform {
namespace {

// Windows error numbers, spelled out so the test needs no system header.
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;

TEST(Win32FileIo, ErrorNumbersMapOntoStreamCodes) {
  EXPECT_EQ(FileErrorToLSError(0), LSOK);
  EXPECT_EQ(FileErrorToLSError(kFileNotFound), LSNoFile);
  EXPECT_EQ(FileErrorToLSError(39), LSDiskFull);   // handle disk full
  EXPECT_EQ(FileErrorToLSError(112), LSDiskFull);  // disk full
  for (int access : {5, 19, 32, 33, 65}) EXPECT_EQ(FileErrorToLSError(access), LSNoAccess);
  for (int fault : {23, 29, 30}) EXPECT_EQ(FileErrorToLSError(fault), LSDiskError);
  EXPECT_EQ(FileErrorToLSError(kPathNotFound), LSUnknownError);
  EXPECT_EQ(FileErrorToLSError(87), LSUnknownError);
}

TEST(Win32FileIo, AWriterSharesNothing) {
  const std::string path = ::testing::TempDir() + "win32_file_io_test.bin";
  FileHandle out = FileOpenWrite(path.c_str());
  ASSERT_TRUE(IsValidFileHandle(out));
  EXPECT_EQ(FileOpenWrite(path.c_str()), kInvalidFileHandle);
  EXPECT_EQ(FileErrorToLSError(FileLastError()), LSNoAccess);
  EXPECT_TRUE(FileClose(out));
  std::remove(path.c_str());
}

TEST(Win32FileIo, FailuresLeaveTheirErrorNumber) {
  const std::string missing = ::testing::TempDir() + "win32_file_io_missing.bin";
  EXPECT_EQ(FileOpenRead(missing.c_str()), kInvalidFileHandle);
  EXPECT_EQ(FileLastError(), kFileNotFound);
  EXPECT_EQ(FileOpenWrite((missing + "\\sub\\x").c_str()), kInvalidFileHandle);
  EXPECT_EQ(FileLastError(), kPathNotFound);
  EXPECT_FALSE(FileClose(kInvalidFileHandle));
  EXPECT_NE(FileLastError(), kAccessDenied);
}

TEST(Win32FileIo, ErrorNumbersMapOntoFaults) {
  EXPECT_EQ(ClassifyFileError(0), FileFault::kNone);
  EXPECT_EQ(ClassifyFileError(kFileNotFound), FileFault::kNotFound);
  EXPECT_EQ(ClassifyFileError(32), FileFault::kInUse);  // sharing violation
  EXPECT_EQ(ClassifyFileError(33), FileFault::kInUse);  // lock violation
  EXPECT_EQ(ClassifyFileError(kAccessDenied), FileFault::kAccessDenied);
  EXPECT_EQ(ClassifyFileError(112), FileFault::kDiskFull);
  EXPECT_EQ(ClassifyFileError(23), FileFault::kOther);  // data error (CRC)
}

}  // namespace
}  // namespace corvane::platform
