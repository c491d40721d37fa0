#include "engine/mapped_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "engine/engine_test_support.h"
#include "foundation/report_capture.h"
#include "platform/file_mapping.h"

namespace corvane {
namespace {

using testing_support::Bytes;
using testing_support::WriteFile;

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class MappedFileTest : public testing_support::ScratchDirectoryTest {
 protected:
  // Windows of one granularity and room for three of them.
  static MappedFileLimits Small() {
    MappedFileLimits limits;
    limits.min_window_size = 1;
    limits.mapped_bytes_cap = 3 * static_cast<int64_t>(platform::AllocationGranularity());
    return limits;
  }
  // The window size under the small limits.
  static int32_t Granularity() { return static_cast<int32_t>(platform::AllocationGranularity()); }
  // Writes `size` bytes of the pattern as "f" and opens it in `file`;
  // answers the bytes written.
  Bytes OpenPattern(MappedFile& file, size_t size) {
    Bytes bytes = Pattern(size);
    WriteFile(Path("f"), bytes);
    file.Open(Path("f").c_str());
    return bytes;
  }
};

TEST(MappedFileGeometryTest, WindowIsGranularityDoubledToQuarterMebibyte) {
  int32_t size = 0;
  int shift = 0;
  MappedFile::WindowGeometry(0x10000, 0x40000, &size, &shift);
  EXPECT_EQ(size, 0x40000);
  EXPECT_EQ(shift, 18);
  MappedFile::WindowGeometry(0x1000, 0x40000, &size, &shift);
  EXPECT_EQ(size, 0x40000);
  MappedFile::WindowGeometry(0x40000, 0x40000, &size, &shift);
  EXPECT_EQ(size, 0x40000);
  MappedFile::WindowGeometry(0x100000, 0x40000, &size, &shift);
  EXPECT_EQ(size, 0x100000);
  EXPECT_EQ(shift, 20);
}

TEST_F(MappedFileTest, OneByteFileHasOneShortWindow) {
  WriteFile(Path("one"), {0x5A});
  MappedFile file;
  file.Open(Path("one").c_str());
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Length(), 1);
  EXPECT_EQ(file.WindowCount(), 1);
  EXPECT_EQ(file.ReadByte(0), 0x5A);
  int32_t position = 0;
  FileMemView* view = file.WindowAt(position);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Length(), 1);
}

TEST_F(MappedFileTest, EmptyAndMissingFilesAreNotOpen) {
  WriteFile(Path("empty"), {});
  MappedFile empty, missing;
  empty.Open(Path("empty").c_str());
  missing.Open(Path("missing").c_str());
  EXPECT_FALSE(empty.IsOpen());
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(empty.Length(), 0);
  EXPECT_EQ(missing.Length(), 0);
  EXPECT_EQ(missing.Close(), 0);
}

TEST_F(MappedFileTest, WindowCountFollowsFileSize) {
  const int32_t window = 0x40000;
  Bytes bytes = Pattern(2 * window + 1);
  WriteFile(Path("exact"), Bytes(bytes.begin(), bytes.begin() + 2 * window));
  WriteFile(Path("plus"), bytes);
  MappedFile exact, plus;
  exact.Open(Path("exact").c_str());
  plus.Open(Path("plus").c_str());
  ASSERT_EQ(exact.WindowSize(), window);
  EXPECT_EQ(exact.WindowCount(), 2);
  EXPECT_EQ(plus.WindowCount(), 3);
  int32_t position = 2 * window - 1;
  EXPECT_EQ(exact.WindowAt(position)->Length(), window);
  position = 2 * window;
  EXPECT_EQ(plus.WindowAt(position)->Length(), 1);
  EXPECT_EQ(plus.ReadByte(2 * window), bytes[2 * window]);

  // WindowAt rounds down to the window's first position.
  position = 300000;
  FileMemView* view = plus.WindowAt(position);
  EXPECT_EQ(position, 262144);
  EXPECT_EQ(view->Index(), 1);
  EXPECT_EQ(view->Data()[300000 - 262144], bytes[300000]);
}

TEST_F(MappedFileTest, WindowsMapOnFirstTouchOnly) {
  const int32_t window = 0x40000;
  MappedFile file;
  Bytes bytes = OpenPattern(file, 3 * window);
  EXPECT_EQ(file.MappedCount(), 0);
  EXPECT_EQ(file.ReadByte(100), bytes[100]);
  EXPECT_EQ(file.ReadByte(100 + window), bytes[100 + window]);
  EXPECT_EQ(file.MappedCount(), 2);
  EXPECT_EQ(file.ReadByte(5), bytes[5]);
  EXPECT_EQ(file.MappedCount(), 2);
  EXPECT_FALSE(file.IsWindowMapped(2));
}

TEST_F(MappedFileTest, FirstMappedIsFirstEvicted) {
  const int32_t window = Granularity();
  MappedFile file(Small());
  Bytes bytes = OpenPattern(file, 5 * static_cast<size_t>(window));
  ASSERT_EQ(file.WindowSize(), window);
  ASSERT_EQ(file.WindowCount(), 5);

  for (int w = 0; w < 3; ++w) EXPECT_EQ(file.ReadByte(w * window + 3), bytes[w * window + 3]);
  EXPECT_EQ(file.MappedCount(), 3);
  // Reading window 0 again does not move it in the list.
  EXPECT_EQ(file.ReadByte(1), bytes[1]);
  EXPECT_EQ(file.ReadByte(3 * window), bytes[3 * window]);
  EXPECT_EQ(file.MappedCount(), 3);
  EXPECT_FALSE(file.IsWindowMapped(0));
  EXPECT_TRUE(file.IsWindowMapped(1));
  // Window 0 comes back and pushes out the next oldest, window 1.
  EXPECT_EQ(file.ReadByte(7), bytes[7]);
  EXPECT_TRUE(file.IsWindowMapped(0));
  EXPECT_FALSE(file.IsWindowMapped(1));
  EXPECT_TRUE(file.IsWindowMapped(2));
  EXPECT_TRUE(file.IsWindowMapped(3));
}

TEST_F(MappedFileTest, DefaultCapHoldsThreeThousandTwoHundredQuarterMebibyteWindows) {
  MappedFileLimits limits;
  EXPECT_EQ(limits.mapped_bytes_cap >> 18, 3200);
#ifndef _WIN32
  // With the real limits on a sparse file of 3,201 windows (800 MiB of
  // windows would crowd a 32-bit Windows process's address space).
  const int32_t window = 0x40000;
  {
    std::FILE* file = std::fopen(Path("sparse").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
  }
  std::filesystem::resize_file(Path("sparse"), 3201ull * window);
  MappedFile file;
  file.Open(Path("sparse").c_str());
  ASSERT_EQ(file.WindowSize(), window);
  for (int w = 0; w < 3200; ++w) EXPECT_EQ(file.ReadByte(w * window), 0);
  EXPECT_EQ(file.MappedCount(), 3200);
  EXPECT_TRUE(file.IsWindowMapped(0));
  file.ReadByte(3200 * window);
  EXPECT_EQ(file.MappedCount(), 3200);
  EXPECT_FALSE(file.IsWindowMapped(0));
  EXPECT_TRUE(file.IsWindowMapped(1));
#endif
}

TEST_F(MappedFileTest, SpansReachTheWindowEnd) {
  const int32_t window = Granularity();
  MappedFile file(Small());
  Bytes bytes = OpenPattern(file, 2 * static_cast<size_t>(window) + 10);
  int32_t available = 0;
  const uint8_t* data = file.SpanAt(window - 4, &available);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(available, 4);
  EXPECT_EQ(data[3], bytes[window - 1]);
  data = file.SpanAt(2 * window + 3, &available);
  EXPECT_EQ(available, 7);
  EXPECT_EQ(data[6], bytes.back());
}

TEST_F(MappedFileTest, WindowsStayAfterCloseButNoNewOneMaps) {
  const int32_t window = Granularity();
  MappedFile file(Small());
  Bytes bytes = OpenPattern(file, 2 * static_cast<size_t>(window));
  EXPECT_EQ(file.ReadByte(9), bytes[9]);
  EXPECT_EQ(file.Close(), 1);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.ReadByte(10), bytes[10]);
  ScopedReportCapture reports;
  EXPECT_EQ(file.ReadByte(window), 0);
  EXPECT_TRUE(file.MappingFailed());
  EXPECT_TRUE(reports.Contains(ReportSlot::kLog, "Memory mapping error"));
}

TEST_F(MappedFileTest, WholeViewCoversTheRange) {
  MappedFile file;
  Bytes bytes = OpenPattern(file, 70000);
  const uint8_t* data = file.WholeView();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Bytes(data, data + bytes.size()), bytes);
  EXPECT_EQ(file.WholeView(), data);
  MappedFile closed;
  EXPECT_EQ(closed.WholeView(), nullptr);
}

TEST_F(MappedFileTest, ResidentRingDoesNotChangeWhatIsRead) {
  MappedFileLimits limits = Small();
  limits.mapped_bytes_cap = 1 << 30;
  limits.resident_bytes = 1;  // every other window handed back at once
  const int32_t window = Granularity();
  MappedFile file(limits);
  Bytes bytes = OpenPattern(file, 6 * static_cast<size_t>(window));
  for (int round = 0; round < 2; ++round) {
    for (int32_t position = 0; position < static_cast<int32_t>(bytes.size());) {
      int32_t available = 0;
      const uint8_t* data = file.SpanAt(position, &available);
      ASSERT_NE(data, nullptr);
      ASSERT_EQ(Bytes(data, data + available),
                Bytes(bytes.begin() + position, bytes.begin() + position + available));
      position += available;
    }
  }
  EXPECT_EQ(file.MappedCount(), 6);
}

}  // namespace
}  // namespace corvane
