#include "stream/lzss.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "stream/lzss_test_support.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

using lzss_test::Bytes;
using lzss_test::EncodeToVector;
using lzss_test::Item;
using lzss_test::ParseItems;

TEST(Lzss, AbcIsThreeLiteralsAndTheByteSum) {
  Bytes abc = {'a', 'b', 'c'};
  EXPECT_EQ(EncodeToVector(abc), (Bytes{0x07, 'a', 'b', 'c', 0x26, 0x01, 0x00, 0x00}));
  Bytes out(3);
  Bytes packed = EncodeToVector(abc);
  ASSERT_TRUE(LzssDecodeMemory(out.data(), 3, packed.data(), packed.size()));
  EXPECT_EQ(out, abc);
}

TEST(Lzss, EmptyInputWritesNothingAndLengthZeroReadsNothing) {
  QOStrStream out;
  EXPECT_EQ(LzssEncodeMemory(out, "", 0), 0u);
  QIStrStream empty;
  EXPECT_EQ(LzssEncodeStream(out, empty, 100), 0u);
  EXPECT_EQ(out.GetLength(), 0);

  // Garbage that would fail any decode: untouched when the length is 0.
  const char junk[] = "\x00\x01\x02";
  QIStrStream in(junk, 3);
  ScopedReportCapture reports;
  EXPECT_TRUE(LzssDecodeStream(nullptr, 0, in));
  EXPECT_TRUE(LzssSkip(in, 0));
  EXPECT_TRUE(LzssDecodeToStream(out, 0, in));
  EXPECT_TRUE(LzssDecodeMemory(nullptr, 0, junk, 3));
  EXPECT_EQ(in.tellg(), 0);
  EXPECT_EQ(out.GetLength(), 0);
  EXPECT_EQ(reports.Count(), 0);
}

// The initial window is spaces, so a block of spaces needs no literal at all.
// The first string matches the spaces inserted just before the start
// position (distance 18); every later one repeats the previous bytes.
TEST(Lzss, SpacesAreReferencesOnly) {
  Bytes spaces(1024, ' ');
  Bytes packed = EncodeToVector(spaces);
  std::vector<Item> items = ParseItems(packed, spaces.size());
  ASSERT_EQ(items.size(), 57u);  // 56 x 18 + 16
  EXPECT_FALSE(items[0].literal);
  EXPECT_EQ(items[0].distance, 18);
  EXPECT_EQ(items[0].length, 18);
  for (size_t i = 1; i < items.size(); i++) {
    EXPECT_FALSE(items[i].literal) << i;
    EXPECT_EQ(items[i].distance, 1) << i;
    EXPECT_EQ(items[i].length, i + 1 < items.size() ? 18 : 16) << i;
  }
  Bytes out(spaces.size());
  ASSERT_TRUE(LzssDecodeMemory(out.data(), out.size(), packed.data(), packed.size()));
  EXPECT_EQ(out, spaces);
}

// After the first literal every full reference repeats the previous byte.
// The last, shorter one may come from further back: once the input has ended
// the look-ahead is followed by old window bytes, and among the many equally
// long matches the tree walk keeps the first it meets.
TEST(Lzss, ByteRunIsOneLiteralThenDistanceOneReferences) {
  Bytes run(1000, 'x');
  Bytes packed = EncodeToVector(run);
  std::vector<Item> items = ParseItems(packed, run.size());
  ASSERT_EQ(items.size(), 1 + (999 + 17) / 18);
  EXPECT_TRUE(items[0].literal);
  EXPECT_EQ(items[0].byte, 'x');
  for (size_t i = 1; i + 1 < items.size(); i++) {
    EXPECT_FALSE(items[i].literal) << i;
    EXPECT_EQ(items[i].distance, 1) << i;
    EXPECT_EQ(items[i].length, 18) << i;
  }
  EXPECT_FALSE(items.back().literal);
  EXPECT_EQ(items.back().length, 999 % 18);
  Bytes out(run.size());
  ASSERT_TRUE(LzssDecodeMemory(out.data(), out.size(), packed.data(), packed.size()));
  EXPECT_EQ(out, run);
}

// Distance 0 names the byte a full window back; the decoder must accept it
// even though the encoder never produces it.
TEST(Lzss, DistanceZeroReadsAFullWindowBack) {
  // One literal 'q', then a reference of length 3 at distance 0: before 4,096
  // bytes exist, a window back is the initial window's never-written tail.
  const std::uint32_t sum = 'q';
  Bytes packed = {0x01, 'q', 0x00, 0x00, static_cast<std::uint8_t>(sum), 0, 0, 0};
  Bytes out(4, 0xAA);
  ASSERT_TRUE(LzssDecodeMemory(out.data(), 4, packed.data(), packed.size()));
  EXPECT_EQ(out, (Bytes{'q', 0, 0, 0}));
}

struct FailureCase {
  const char* name;
  Bytes packed;
  size_t length;
  LzssError expected;
};

std::vector<FailureCase> FailureCases() {
  Bytes abc = EncodeToVector(Bytes{'a', 'b', 'c'});
  Bytes run = EncodeToVector(Bytes(1000, 'x'));
  Bytes bad_sum = abc;
  bad_sum[5] ^= 0x01;
  return {
      {"items cut", Bytes(abc.begin(), abc.begin() + 3), 3, LzssError::kReadFailed},
      {"no flag byte", Bytes{}, 3, LzssError::kReadFailed},
      {"checksum cut", Bytes(abc.begin(), abc.end() - 1), 3, LzssError::kEndOfStream},
      {"checksum missing", Bytes(abc.begin(), abc.begin() + 4), 3, LzssError::kEndOfStream},
      // Two literals fill a length of 2; 'c' and the sum then read as a wrong checksum.
      {"length short by one, literals", abc, 2, LzssError::kChecksum},
      // The last reference of the run would pass the end.
      {"length short by one, reference", run, 999, LzssError::kOverflow},
      {"checksum byte changed", bad_sum, 3, LzssError::kChecksum},
  };
}

TEST(Lzss, EveryDecoderReportsEachFailureOnce) {
  const std::regex line_format(R"(ssCompress\(\d+\) : (.*))");
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.name);
    const std::string text = LzssErrorText(c.expected);
    // The memory decoder reads an exact-size copy so that ASan sees overreads.
    std::vector<std::uint8_t> input(c.packed);
    std::vector<std::uint8_t> out(c.length + 8, 0xEE);
    for (int form = 0; form < 4; form++) {
      SCOPED_TRACE(form);
      ScopedReportCapture reports;
      LzssError error = LzssError::kNone;
      QIStrStream in(input.data(), input.size());
      QOStrStream sink;
      bool ok = false;
      switch (form) {
        case 0: ok = LzssDecodeMemory(out.data(), c.length, input.data(), input.size(), &error); break;
        case 1: ok = LzssDecodeStream(out.data(), c.length, in, &error); break;
        case 2: ok = LzssDecodeToStream(sink, c.length, in, &error); break;
        case 3: ok = LzssSkip(in, c.length, &error); break;
      }
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, c.expected);
      ASSERT_EQ(reports.Count(ReportSlot::kErrorAt), 1);
      std::smatch m;
      const std::string report = reports.Texts(ReportSlot::kErrorAt)[0];
      ASSERT_TRUE(std::regex_match(report, m, line_format)) << report;
      EXPECT_EQ(m[1].str(), text);
      // Nothing lands past the expected length.
      for (size_t i = c.length; i < out.size(); i++) ASSERT_EQ(out[i], 0xEE) << i;
    }
  }
}

TEST(Lzss, ChangedChecksumStillDeliversTheData) {
  Bytes data = lzss_test::MixedBytes(20000, 3);
  Bytes packed = EncodeToVector(data);
  packed[packed.size() - 2] ^= 0x40;
  Bytes out(data.size());
  LzssError error;
  ScopedReportCapture reports;
  EXPECT_FALSE(LzssDecodeMemory(out.data(), out.size(), packed.data(), packed.size(), &error));
  EXPECT_EQ(error, LzssError::kChecksum);
  EXPECT_EQ(out, data);

  QIStrStream in(packed.data(), packed.size());
  QOStrStream sink;
  EXPECT_FALSE(LzssDecodeToStream(sink, data.size(), in, &error));
  EXPECT_EQ(error, LzssError::kChecksum);
  ASSERT_EQ(sink.GetLength(), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(Bytes(sink.str(), sink.str() + data.size()), data);
}

// Every cut of a block fails cleanly: never a success, never a read past the
// exact-size input (ASan), never a write past the length.
TEST(Lzss, EveryTruncationFails) {
  Bytes data = lzss_test::MixedBytes(3000, 11);
  Bytes packed = EncodeToVector(data);
  ScopedReportCapture reports;
  for (size_t cut = 0; cut < packed.size(); cut++) {
    Bytes input(packed.begin(), packed.begin() + cut);
    Bytes out(data.size() + 4, 0xEE);
    LzssError error;
    ASSERT_FALSE(LzssDecodeMemory(out.data(), data.size(), input.data(), input.size(), &error));
    EXPECT_TRUE(error == LzssError::kReadFailed || error == LzssError::kEndOfStream);
    EXPECT_EQ(error == LzssError::kEndOfStream, cut + 4 >= packed.size()) << cut;
    for (size_t i = data.size(); i < out.size(); i++) ASSERT_EQ(out[i], 0xEE);
  }
}

// A decoder on a stream stops right after the checksum, so blocks can follow
// one another and other data can follow them.
TEST(Lzss, StreamDecodersStopAfterTheChecksum) {
  Bytes a = lzss_test::MixedBytes(5000, 1);
  Bytes b = lzss_test::MixedBytes(40000, 2);
  QOStrStream packed;
  LzssEncodeMemory(packed, a.data(), a.size());
  LzssEncodeMemory(packed, b.data(), b.size());
  LzssEncodeMemory(packed, a.data(), a.size());
  packed.put('!');

  QIStrStream in(packed.str(), static_cast<size_t>(packed.GetLength()));
  Bytes out_a(a.size());
  ASSERT_TRUE(LzssDecodeStream(out_a.data(), a.size(), in));
  EXPECT_EQ(out_a, a);
  QOStrStream out_b;
  ASSERT_TRUE(LzssDecodeToStream(out_b, b.size(), in));
  EXPECT_EQ(Bytes(out_b.str(), out_b.str() + out_b.GetLength()), b);
  ASSERT_TRUE(LzssSkip(in, a.size()));
  EXPECT_EQ(in.get(), '!');
}

// The stream encoder reads no further than the length it is given.
TEST(Lzss, StreamEncoderStopsAtTheLength) {
  Bytes data = lzss_test::MixedBytes(10000, 5);
  QIStrStream in(data.data(), data.size());
  QOStrStream first;
  EXPECT_EQ(LzssEncodeStream(first, in, 6000), 6000u);
  EXPECT_EQ(in.tellg(), 6000);
  QOStrStream rest;
  EXPECT_EQ(LzssEncodeStream(rest, in, 1u << 30), 4000u);
  EXPECT_EQ(Bytes(first.str(), first.str() + first.GetLength()),
            EncodeToVector(Bytes(data.begin(), data.begin() + 6000)));
  EXPECT_EQ(Bytes(rest.str(), rest.str() + rest.GetLength()),
            EncodeToVector(Bytes(data.begin() + 6000, data.end())));
}

// All encoders give the same bytes; all decoders give the data back. Sizes
// cover the window edges (start position, window size, window plus a
// look-ahead) and the staging buffers of the stream forms.
TEST(Lzss, RoundTripsAcrossSizesAndForms) {
  std::vector<size_t> sizes = {0, 1, 2, 3, 17, 18, 19, 143, 150, 151, 1023, 1024,
                               4077, 4078, 4079, 4095, 4096, 4097, 4113, 4114, 4115,
                               8192, 32767, 32768, 36864, 36865, 65536, 70000};
  std::mt19937 rng(20261208);
  for (int i = 0; i < 12; i++) sizes.push_back(rng() % 70001);
  for (size_t size : sizes) {
    for (int kind = 0; kind < lzss_test::kDataKinds; kind++) {
      SCOPED_TRACE(testing::Message() << "size " << size << " kind " << kind);
      Bytes data = lzss_test::MakeBytes(kind, size, static_cast<std::uint32_t>(rng()));
      lzss_test::ExpectRoundTrip(data);
      if (testing::Test::HasFailure()) return;
    }
  }
}

TEST(Lzss, RoundTripsRealFiles) {
  std::vector<std::string> paths = {lzss_test::SelfPath(),
                                    std::string(CORVANE_SOURCE_DIR) + "/src/stream/lzss_encoder.cpp",
                                    "/usr/share/common-licenses/GPL-3",
                                    "/usr/share/dict/words"};
  int tried = 0;
  for (const std::string& path : paths) {
    Bytes data;
    if (!lzss_test::ReadFile(path, 2u << 20, data)) continue;
    SCOPED_TRACE(path);
    tried++;
    lzss_test::ExpectRoundTrip(data);
    // Real files shrink (the test binary and the sources are far from random).
    EXPECT_LT(EncodeToVector(data).size(), data.size());
  }
  EXPECT_GE(tried, 2);
}

}  // namespace
}  // namespace corvane
