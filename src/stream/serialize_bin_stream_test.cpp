#include "stream/serialize_bin_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "stream/lzss.h"
#include "stream/lzss_test_data.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Written(const QOStrStream& out) {
  const char* data = out.str();
  return data ? Bytes(data, data + out.GetLength()) : Bytes();
}

// One record described once and transferred in either direction.
struct Record {
  std::uint8_t tag = 0;
  std::int32_t count = 0;
  std::int32_t negative = 0;
  BankedString name;
  RString plain;
  Bytes small;  // raw even with compression asked for
  Bytes large;  // compressed

  void Transfer(SerializeBinStream& s) {
    s.Transfer(tag);
    s.TransferInt(count);
    s.TransferInt(negative);
    s.TransferString(name);
    s.TransferString(plain);
    s.TransferBlock(small.data(), small.size(), true);
    s.TransferBlock(large.data(), large.size(), true);
  }
};

TEST(SerializeBinStream, RecordRoundTripsAndKeepsItsLayout) {
  Record saved;
  saved.tag = 0xC8;
  saved.count = 0x12345678;
  saved.negative = -2;
  saved.name = "CfgPatches";
  saved.plain = "plain text";
  saved.small = lzss_test::MakeBytes(0, 1023, 1);
  saved.large = lzss_test::MakeBytes(0, 5000, 2);

  QOStrStream out;
  SerializeBinStream writer(out);
  EXPECT_TRUE(writer.IsSaving());
  saved.Transfer(writer);
  EXPECT_EQ(writer.GetError(), 0);

  Bytes bytes = Written(out);
  Bytes head = {0xC8, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF};
  ASSERT_GT(bytes.size(), head.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 9), head);
  std::size_t at = 9;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[at])), "CfgPatches");
  at += 11;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[at])), "plain text");
  at += 11;
  EXPECT_EQ(Bytes(bytes.begin() + at, bytes.begin() + at + 1023), saved.small);
  at += 1023;
  // The large block is exactly what the encoder makes of it, and nothing follows.
  QOStrStream packed;
  LzssEncodeMemory(packed, saved.large.data(), saved.large.size());
  EXPECT_EQ(Bytes(bytes.begin() + at, bytes.end()), Written(packed));

  QIStrStream in(bytes.data(), bytes.size());
  SerializeBinStream reader(in);
  EXPECT_TRUE(reader.IsLoading());
  Record loaded;
  loaded.small.resize(saved.small.size());
  loaded.large.resize(saved.large.size());
  loaded.Transfer(reader);
  EXPECT_EQ(reader.GetError(), 0);
  EXPECT_EQ(loaded.tag, saved.tag);
  EXPECT_EQ(loaded.count, saved.count);
  EXPECT_EQ(loaded.negative, saved.negative);
  EXPECT_STREQ(loaded.name.Data(), "CfgPatches");
  EXPECT_EQ(loaded.name.Block(), saved.name.Block());  // banked: one shared block
  EXPECT_STREQ(loaded.plain.Data(), "plain text");
  EXPECT_EQ(loaded.small, saved.small);
  EXPECT_EQ(loaded.large, saved.large);
  EXPECT_EQ(in.tellg(), static_cast<std::int64_t>(bytes.size()));
}

TEST(SerializeBinStream, PlainStringsAlsoStopAt255) {
  const char data[] =
      "ab\xff"
      "cd\0"
      "ef\xff"
      "gh";
  QIStrStream in(data, sizeof(data) - 1);
  SerializeBinStream reader(in);
  RString plain;
  reader.TransferString(plain);
  EXPECT_STREQ(plain.Data(), "ab");
  BankedString banked;
  reader.TransferString(banked);  // 255 is an ordinary byte here
  EXPECT_STREQ(banked.Data(), "cd");
  reader.TransferString(banked);
  EXPECT_STREQ(banked.Data(),
               "ef\xff"
               "gh");
  EXPECT_EQ(reader.GetError(), SerializeBinStream::kErrorDecode);  // no terminator

  QOStrStream out;
  SerializeBinStream writer(out);
  writer.TransferString(banked = BankedString());
  writer.TransferString(plain = RString());
  EXPECT_EQ(Written(out), (Bytes{0, 0}));  // an empty string is one zero byte
}

TEST(SerializeBinStream, StringCutByTheEndYieldsWhatWasRead) {
  const char data[] = "abc";
  QIStrStream in(data, 3);
  SerializeBinStream reader(in);
  ScopedReportCapture reports;
  BankedString text;
  reader.TransferString(text);
  EXPECT_STREQ(text.Data(), "abc");
  EXPECT_EQ(reader.GetError(), SerializeBinStream::kErrorDecode);
  ASSERT_EQ(reports.Count(ReportSlot::kErrorAt), 1);
  EXPECT_TRUE(reports.Contains(ReportSlot::kErrorAt, ") : EOF in string"));
}

// Missing bytes read as zeros, never as stale memory.
TEST(SerializeBinStream, IntAndRawBlockCutByTheEndReadZeros) {
  const std::uint8_t data[] = {0x34, 0x12, 1, 2, 3};
  QIStrStream in(data, 2);
  SerializeBinStream reader(in);
  std::int32_t value = -1;
  reader.TransferInt(value);
  EXPECT_EQ(value, 0x1234);
  EXPECT_TRUE(in.eof());

  QIStrStream in2(data + 2, 3);
  SerializeBinStream reader2(in2);
  std::uint8_t block[6] = {9, 9, 9, 9, 9, 9};
  reader2.TransferBlock(block, 6, false);
  EXPECT_EQ(Bytes(block, block + 6), (Bytes{1, 2, 3, 0, 0, 0}));
}

TEST(SerializeBinStream, SkipBlockPassesRawAndCompressedBlocks) {
  Bytes raw = lzss_test::MakeBytes(1, 600, 3);
  Bytes big = lzss_test::MakeBytes(4, 9000, 4);
  Bytes big_raw = lzss_test::MakeBytes(4, 3000, 5);
  QOStrStream out;
  SerializeBinStream writer(out);
  std::int32_t marker = 77;
  writer.TransferBlock(raw.data(), raw.size(), true);
  writer.TransferBlock(big.data(), big.size(), true);
  writer.TransferBlock(big_raw.data(), big_raw.size(), false);
  writer.TransferInt(marker);

  Bytes bytes = Written(out);
  QIStrStream in(bytes.data(), bytes.size());
  SerializeBinStream reader(in);
  reader.SkipBlock(raw.size(), true);
  EXPECT_EQ(reader.TellG(), 600);
  reader.SkipBlock(big.size(), true);
  reader.SkipBlock(big_raw.size(), false);
  std::int32_t read_marker = 0;
  reader.TransferInt(read_marker);
  EXPECT_EQ(read_marker, 77);
  EXPECT_EQ(reader.GetError(), 0);
}

TEST(SerializeBinStream, DamagedCompressedBlockWarnsAndSetsTheCode) {
  Bytes big = lzss_test::MakeBytes(0, 4000, 6);
  QOStrStream out;
  SerializeBinStream writer(out);
  writer.TransferBlock(big.data(), big.size(), true);
  Bytes bytes = Written(out);
  bytes.back() ^= 0xFF;  // checksum

  for (bool skip : {false, true}) {
    SCOPED_TRACE(skip);
    ScopedReportCapture reports;
    QIStrStream in(bytes.data(), bytes.size());
    SerializeBinStream reader(in);
    Bytes loaded(big.size());
    if (skip) {
      reader.SkipBlock(big.size(), true);
    } else {
      reader.TransferBlock(loaded.data(), loaded.size(), true);
      EXPECT_EQ(loaded, big);  // the data itself was intact
    }
    EXPECT_EQ(reader.GetError(), SerializeBinStream::kErrorDecode);
    EXPECT_EQ(reports.Texts(ReportSlot::kWarning),
              std::vector<std::string>{"Error in SerializeBinStream decoding"});
    EXPECT_TRUE(reports.Contains(ReportSlot::kErrorAt, "Checksum"));
  }
}

TEST(SerializeBinStream, VersionIsKeptAndChecked) {
  QOStrStream out;
  SerializeBinStream writer(out);
  EXPECT_EQ(writer.GetVersion(), -1);
  EXPECT_TRUE(writer.TransferVersion(2, 8));
  EXPECT_EQ(writer.GetVersion(), 8);
  EXPECT_EQ(Written(out), (Bytes{8, 0, 0, 0}));

  Bytes bytes = Written(out);
  struct Case {
    int minimum, current;
    bool accepted;
  };
  for (Case c : {Case{2, 8, true}, Case{8, 8, true}, Case{9, 12, false}, Case{2, 7, false}}) {
    QIStrStream in(bytes.data(), bytes.size());
    SerializeBinStream reader(in);
    EXPECT_EQ(reader.GetVersion(), -1);
    EXPECT_EQ(reader.TransferVersion(c.minimum, c.current), c.accepted);
    EXPECT_EQ(reader.GetVersion(), 8);  // kept even when refused
  }
}

TEST(SerializeBinStream, PatchedOffsetPointsForward) {
  QOStrStream out;
  SerializeBinStream writer(out);
  std::int32_t head = 5;
  writer.TransferInt(head);
  std::int64_t slot = writer.ReserveOffset();
  EXPECT_EQ(slot, 4);
  char c = 'x';
  writer.Transfer(c);
  writer.PatchOffset(slot);
  EXPECT_EQ(writer.TellP(), 9);  // writing goes on where it was
  writer.Transfer(c);
  EXPECT_EQ(Written(out), (Bytes{5, 0, 0, 0, 9, 0, 0, 0, 'x', 'x'}));
}

TEST(SerializeBinStream, PositionCallsOfTheOtherDirectionReportAndDoNothing) {
  QOStrStream out;
  SerializeBinStream writer(out);
  char c = 'a';
  writer.Transfer(c);
  const char data[] = "abcdef";
  QIStrStream in(data, 6);
  SerializeBinStream reader(in);
  reader.SeekG(4);

  ScopedReportCapture reports;
  EXPECT_EQ(writer.TellG(), 0);
  writer.SeekG(0);
  EXPECT_EQ(reader.TellP(), 0);
  reader.SeekP(0);
  EXPECT_EQ(reader.ReserveOffset(), 0);
  std::vector<std::string> texts = reports.Texts(ReportSlot::kErrorAt);
  ASSERT_EQ(texts.size(), 5u);
  const char* const expected[] = {"File is not readable", "Cannot SeekG on output stream",
                                  "File is not writeable", "Cannot SeekP on input stream",
                                  "File is not writeable"};
  for (int i = 0; i < 5; i++) {
    // "<source path>(<line>) : <text>"
    EXPECT_NE(texts[i].find(") : " + std::string(expected[i])), std::string::npos) << texts[i];
  }
  EXPECT_EQ(writer.TellP(), 1);
  EXPECT_EQ(reader.TellG(), 4);
  EXPECT_EQ(Written(out), Bytes{'a'});
}

}  // namespace
}  // namespace corvane
