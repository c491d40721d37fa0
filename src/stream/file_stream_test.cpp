#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "stream/file_buffer.h"
#include "stream/file_server.h"
#include "stream/qi_f_stream.h"
#include "stream/qo_f_stream.h"
#include "support/scratch_folder.h"

namespace corvane {
namespace {

// A file in this test process's own scratch folder.
std::string TempPath(const char* name) {
  static test_support::ScratchFolder folder("file-stream");
  return folder / name;
}

std::string Pattern(size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
  return data;
}

void WriteHostFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Records every page read, forwarding to the default server.
class CountingFileServer : public QIFileServerFunctions {
 public:
  PageDescriptor ReadPage(QFileHandle handle, int64_t start, uint32_t size) override {
    PageDescriptor page = QIFileServerFunctions::ReadPage(handle, start, size);
    pages.emplace_back(start, page.length);
    return page;
  }
  QFileHandle OpenReadHandle(const char* name) override {
    ++opened;
    return QIFileServerFunctions::OpenReadHandle(name);
  }
  void CloseReadHandle(const char* name, QFileHandle handle) override {
    ++closed;
    QIFileServerFunctions::CloseReadHandle(name, handle);
  }
  std::vector<std::pair<int64_t, uint32_t>> pages;
  int opened = 0;
  int closed = 0;
};

TEST(QIFStream, ReadsA20000ByteFileInThreeAlignedPages) {
  const std::string path = TempPath("qi_f_stream_pages.bin");
  const std::string data = Pattern(20000);
  WriteHostFile(path, data);
  CountingFileServer server;
  {
    ScopedFileServer install(&server);
    QIFStream in;
    in.open(path.c_str());
    ASSERT_FALSE(in.fail());
    EXPECT_EQ(in.GetDataSize(), 20000);
    std::string got;
    for (int c; (c = in.get()) >= 0;) got.push_back(static_cast<char>(c));
    EXPECT_EQ(got, data);
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
    in.close();
  }
  ASSERT_EQ(server.pages.size(), 3u);
  EXPECT_EQ(server.pages[0], (std::pair<int64_t, uint32_t>{0, 8192}));
  EXPECT_EQ(server.pages[1], (std::pair<int64_t, uint32_t>{8192, 8192}));
  EXPECT_EQ(server.pages[2], (std::pair<int64_t, uint32_t>{16384, 3616}));
  EXPECT_EQ(server.opened, 1);
  EXPECT_EQ(server.closed, 1);
  std::remove(path.c_str());
}

TEST(QIFStream, MissingFileFailsQuietlyWithCodeZero) {
  ScopedReportCapture capture;
  QIFStream in;
  in.open(TempPath("no_such_file_here.bin").c_str());
  EXPECT_TRUE(in.fail());
  EXPECT_EQ(in.error(), LSOK);
  EXPECT_EQ(in.GetDataSize(), 0);
  char byte;
  EXPECT_EQ(in.read(&byte, 1), 0);
  EXPECT_EQ(in.get(), -1);
  EXPECT_EQ(capture.Count(), 0);
}

TEST(QIFStream, WindowReadsOnlyItsRangeAcrossPageBoundaries) {
  const std::string path = TempPath("qi_f_stream_window.bin");
  const std::string data = Pattern(20000);
  WriteHostFile(path, data);
  QIFStream in;
  in.open(path.c_str(), 8000, 500);
  ASSERT_FALSE(in.fail());
  EXPECT_EQ(in.GetDataSize(), 500);
  std::string got(600, '\0');
  EXPECT_EQ(in.read(got.data(), 600), 500);
  EXPECT_EQ(got.substr(0, 500), data.substr(8000, 500));
  in.seekg(250);
  EXPECT_EQ(in.get(), static_cast<unsigned char>(data[8250]));
  // Windows past the end of the file are cut to it.
  in.open(path.c_str(), 19990, 1000);
  EXPECT_EQ(in.GetDataSize(), 10);
  in.open(path.c_str(), 50000, 10);
  EXPECT_FALSE(in.fail());
  EXPECT_EQ(in.get(), -1);
  in.close();
  std::remove(path.c_str());
}

TEST(FileBuffer, LoadedAndLoadingReadTheSameBytes) {
  const std::string path = TempPath("file_buffer_loaded.bin");
  const std::string data = Pattern(9000);
  WriteHostFile(path, data);
  Ref<FileBufferLoaded> loaded = new FileBufferLoaded(path.c_str(), 100, 5000);
  ASSERT_EQ(loaded->GetSize(), 5000);
  EXPECT_EQ(std::string(loaded->GetData(), 5000), data.substr(100, 5000));
  Ref<FileBufferLoading> loading = new FileBufferLoading(path.c_str());
  EXPECT_FALSE(loading->IsError());
  std::string got(9000, '\0');
  EXPECT_EQ(loading->Read(got.data(), 0, 9000), 9000);
  EXPECT_EQ(got, data);
  ScopedReportCapture capture;
  EXPECT_EQ(loading->GetData(), nullptr);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Cannot return data"));
  // Asking for more than the file holds frees the block and says so.
  Ref<FileBufferLoaded> short_read = new FileBufferLoaded(path.c_str(), 8000, 2000);
  EXPECT_EQ(short_read->GetSize(), 0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kDataWarning, "' read error "));
  loading.Free();
  std::remove(path.c_str());
}

TEST(QOFStream, LargeWriteFlushesOneFullBufferAndKeepsTheRest) {
  const std::string path = TempPath("qo_f_stream_large.bin");
  const std::string data = Pattern(100000);
  QOFStream out;
  out.open(path.c_str());
  ASSERT_FALSE(out.fail());
  EXPECT_EQ(out.write(data.data(), 100000), 100000);
  // The file is open without sharing; its size is read from the directory.
  EXPECT_EQ(std::filesystem::file_size(path), 65536u);
  out.close();
  EXPECT_FALSE(out.fail());
  EXPECT_EQ(ReadHostFile(path), data);
  std::remove(path.c_str());
}

TEST(QOFStream, SeekPOverwritesAndAppendAddsAtTheEnd) {
  const std::string path = TempPath("qo_f_stream_seek.bin");
  {
    QOFStream out(path.c_str());
    out.write("0123456789", 10);
    out.SeekP(2);  // inside the buffer
    out.write("ab", 2);
    out.SeekP(70000);  // outside: flushes, then continues there
    out.write("Z", 1);
    out.SeekP(5);
    out.write("c", 1);
    EXPECT_EQ(out.GetTotalSize(), 70001);
  }
  std::string file = ReadHostFile(path);
  ASSERT_EQ(file.size(), 70001u);
  EXPECT_EQ(file.substr(0, 10), "01ab4c6789");
  EXPECT_EQ(file[69999], '\0');
  EXPECT_EQ(file[70000], 'Z');

  WriteHostFile(path, "head");
  QOFStream append;
  append.openAppend(path.c_str());
  append.write("tail", 4);
  append.close();
  EXPECT_EQ(ReadHostFile(path), "headtail");
  std::remove(path.c_str());
}

TEST(QOFStream, OpenFailureSetsFlagAndCodeAndDropsWrites) {
  QOFStream out;
  out.open(TempPath("missing_dir_xyz/sub/out.bin").c_str());
  EXPECT_TRUE(out.fail());
  EXPECT_NE(out.error(), LSOK);
  EXPECT_EQ(out.write("data", 4), 4);  // taken into the buffer only
  out.close();
  EXPECT_TRUE(out.fail());
}

TEST(FileServer, CopyFileCopiesAndNeverTruncatesWithoutASource) {
  const std::string from = TempPath("copy_source.bin");
  const std::string to = TempPath("copy_target.bin");
  const std::string data = Pattern(12345);
  WriteHostFile(from, data);
  QIFileServerFunctions* server = GetFileServer();
  EXPECT_TRUE(server->CopyFile(from.c_str(), to.c_str()));
  EXPECT_EQ(ReadHostFile(to), data);
  WriteHostFile(to, "keep me");
  EXPECT_FALSE(server->CopyFile(TempPath("copy_missing.bin").c_str(), to.c_str()));
  EXPECT_EQ(ReadHostFile(to), "keep me");

  QFileHandle handle = server->OpenReadHandle(from.c_str());
  ASSERT_TRUE(server->CheckHandle(handle));
  EXPECT_EQ(server->GetFileSize(handle), 12345u);
  EXPECT_GT(server->GetFileTime(handle), 1500000000);
  EXPECT_EQ(server->GetHandleName(handle),
            FormatString("Handle %x", static_cast<unsigned>(handle)));
  server->CloseReadHandle(from.c_str(), handle);
  EXPECT_FALSE(server->CheckHandle(0));
  EXPECT_FALSE(server->CheckHandle(platform::kInvalidFileHandle));
  std::remove(from.c_str());
  std::remove(to.c_str());
}

}  // namespace
}  // namespace corvane
