#include "stream/qi_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/report_capture.h"
#include "stream/file_buffer.h"
#include "stream/qi_f_stream.h"
#include "stream/qi_preprocessed_stream.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

TEST(QIStream, GetOnEmptyStreamSetsOnlyTheEndFlag) {
  QIStrStream empty;
  EXPECT_EQ(empty.get(), -1);
  EXPECT_TRUE(empty.eof());
  EXPECT_FALSE(empty.fail());
  EXPECT_EQ(empty.error(), LSOK);
}

TEST(QIStream, ShortReadSetsEndAndFailureOnlyWhenSomethingWasCopied) {
  const char data[] = "abcdefgh";
  QIStrStream in(data, 8);
  char out[16] = {};
  EXPECT_EQ(in.read(out, 4), 4);
  EXPECT_FALSE(in.eof());
  EXPECT_EQ(in.read(out, 10), 4);
  EXPECT_EQ(std::string(out, 4), "efgh");
  EXPECT_TRUE(in.eof());
  EXPECT_TRUE(in.fail());
  in.clear();
  EXPECT_EQ(in.read(out, 10), 0);
  EXPECT_TRUE(in.eof());
  EXPECT_FALSE(in.fail());
}

TEST(QIStream, SeekBackInsideThePageKeepsTheEndFlag) {
  const char data[] = "xyz";
  QIStrStream in(data, 3);
  while (in.get() >= 0) {
  }
  ASSERT_TRUE(in.eof());
  in.seekg(0);
  EXPECT_TRUE(in.eof());
  EXPECT_EQ(in.get(), 'x');
  in.seekg(100);  // clamped to the size
  EXPECT_EQ(in.tellg(), 3);
  EXPECT_EQ(in.get(), -1);
  in.unget();
  EXPECT_EQ(in.tellg(), 2);
  EXPECT_EQ(in.get(), 'z');
  EXPECT_EQ(in.get(), -1);
  in.seekg(-5);
  EXPECT_EQ(in.tellg(), 0);
}

TEST(QIStream, ReadLineHandlesEveryLineEnd) {
  const char data[] = "a\r\nb\rc\nlast";
  QIStrStream in(data, sizeof(data) - 1);
  char line[16];
  EXPECT_TRUE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "a");
  EXPECT_TRUE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "b");
  EXPECT_TRUE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "c");
  EXPECT_FALSE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "last");
  EXPECT_FALSE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "");
}

TEST(QIStream, LongLineIsCutAndItsRestSkipped) {
  const char data[] = "0123456789\nnext\n0123456789";
  QIStrStream in(data, sizeof(data) - 1);
  char line[5];
  EXPECT_TRUE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "0123");
  EXPECT_TRUE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "next");
  EXPECT_FALSE(in.readLine(line, sizeof(line)));  // data ends inside the skipped rest
  EXPECT_STREQ(line, "0123");
  // A line exactly capacity - 1 long is not cut.
  const char exact[] = "abcd\nz";
  QIStrStream in2(exact, sizeof(exact) - 1);
  EXPECT_TRUE(in2.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "abcd");
  EXPECT_EQ(in2.get(), 'z');
  // Capacity 0 stores nothing and still consumes the line.
  QIStrStream in3(exact, sizeof(exact) - 1);
  EXPECT_TRUE(in3.readLine(nullptr, 0));
  EXPECT_EQ(in3.get(), 'z');
}

TEST(QIStream, SkipLineStopsAfterCrLfAndLeavesOtherBytes) {
  const char data[] = "one\r\ntwo\rthree";
  QIStrStream in(data, sizeof(data) - 1);
  EXPECT_TRUE(in.skipLine());
  EXPECT_EQ(in.get(), 't');
  EXPECT_TRUE(in.skipLine());
  EXPECT_EQ(in.get(), 't');
  EXPECT_FALSE(in.skipLine());
}

TEST(QIStream, ReadsAnOutputStreamInPlaceAndCopiesToAnother) {
  QOStrStream out;
  std::string text(70000, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
  EXPECT_EQ(out.write(text.data(), static_cast<int64_t>(text.size())), 70000);
  QIStrStream in;
  in.init(out);
  EXPECT_EQ(in.GetDataSize(), 70000);
  in.seekg(3);
  QOStrStream copy;
  in.copy(copy);
  ASSERT_EQ(copy.GetLength(), 69997);
  EXPECT_EQ(std::string(copy.str(), 69997), text.substr(3));
}

// Writing on after a reader took the output's bytes, past the block's end
// (a larger block) and over bytes already written: the reader, midway
// through its page, still sees what was there when it began.
TEST(QIStream, AnOutputStreamWrittenOnLeavesItsReaderAlone) {
  QOStrStream out;
  out.write("abcdef", 6);
  QIStrStream in;
  in.init(out);
  EXPECT_EQ(in.get(), 'a');
  std::string more(1 << 20, 'm');
  out.write(more.data(), static_cast<int64_t>(more.size()));
  out.SeekP(1);
  out.write("XY", 2);
  std::string rest;
  for (int c = in.get(); c >= 0; c = in.get()) rest.push_back(static_cast<char>(c));
  EXPECT_EQ(rest, "bcdef");
  EXPECT_EQ(std::string(out.str(), 6), "aXYdef");
}

// A source whose pages lie: one claims more bytes than its buffer holds, the
// other answers a page that does not contain the position.
class LyingStream : public QIStream {
 public:
  PageDescriptor ReadBuffer(Ref<QIStreamBuffer>, int64_t position) override {
    PageDescriptor page;
    page.buffer = new QIStreamBuffer(4);
    std::memcpy(page.buffer->GetWritableData(), "wxyz", 4);
    page.start = position < 4 ? 0 : position + 10;
    page.length = 1000;
    return page;
  }
  bool PreRead(int64_t, int64_t) override { return true; }
  int64_t GetDataSize() const override { return 1000; }
};

TEST(QIStream, NeverReadsBeyondWhatAPageReallyHolds) {
  LyingStream in;
  char out[64];
  EXPECT_EQ(in.read(out, sizeof(out)), 4);
  EXPECT_EQ(std::string(out, 4), "wxyz");
  EXPECT_TRUE(in.eof());
  EXPECT_EQ(in.get(), -1);
}

TEST(FileBufferMemory, HandsOutCopiesIn4096BytePages) {
  std::string data(10000, 'm');
  data[4096] = 'N';
  Ref<FileBufferMemory> buffer = new FileBufferMemory(data.data(), 10000);
  PageDescriptor page = buffer->ReadBuffer(nullptr, 4096);
  EXPECT_EQ(page.start, 4096);
  EXPECT_EQ(page.length, 4096u);
  EXPECT_EQ(page.Data()[0], 'N');
  EXPECT_NE(page.Data(), buffer->GetData() + 4096);
  EXPECT_EQ(buffer->ReadBuffer(nullptr, 9000).length, 1000u);
  EXPECT_EQ(buffer->ReadBuffer(nullptr, 10000).length, 0u);

  // A window over it, read through a stream.
  QIStreamDataSource window(new FileBufferSub(buffer.GetRef(), 4000, 200));
  EXPECT_EQ(window.GetDataSize(), 200);
  std::string got(300, '\0');
  EXPECT_EQ(window.read(got.data(), 300), 200);
  EXPECT_EQ(got.substr(0, 200), data.substr(4000, 200));
  // A window reaching beyond the inner buffer is cut to it.
  Ref<FileBufferSub> beyond = new FileBufferSub(buffer.GetRef(), 9990, 100);
  EXPECT_EQ(beyond->GetSize(), 10);
  char tail[100];
  EXPECT_EQ(beyond->Read(tail, 0, 100), 10);
  EXPECT_EQ(beyond->GetData(), buffer->GetData() + 9990);
}

TEST(QIPreprocessedStream, HandsOutOneLineAtATimeAndCountsLines) {
  static const char text[] = "first\nsecond\nthird";
  auto source = std::make_unique<QIStrStream>(text, sizeof(text) - 1);
  QIPreprocessedStream in(std::move(source));
  in.SetSourceLocation(RString("config.cpp"), 1);
  char line[32];
  RString name;
  int number = 0;
  ASSERT_TRUE(in.readLine(line, sizeof(line)));
  in.GetSourceLocation(name, number);
  EXPECT_STREQ(line, "first");
  EXPECT_EQ(number, 1);
  EXPECT_STREQ(name.Data(), "config.cpp");
  ASSERT_TRUE(in.readLine(line, sizeof(line)));
  in.GetSourceLocation(name, number);
  EXPECT_EQ(number, 2);
  EXPECT_FALSE(in.readLine(line, sizeof(line)));
  EXPECT_STREQ(line, "third");
  in.GetSourceLocation(name, number);
  EXPECT_EQ(number, 3);
}

}  // namespace
}  // namespace corvane
