#include "stream/lzss.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "stream/lzss_test_support.h"

namespace corvane {
namespace {

using lzss_test::Bytes;
using lzss_test::EncodeToVector;
using lzss_test::Item;
using lzss_test::ParseItems;

TEST(Lzss, AbcIsThreeLiteralsAndTheByteSum) {
  Bytes packed = EncodeToVector(Bytes{'a', 'b', 'c'});
  EXPECT_EQ(packed, (Bytes{0x07, 'a', 'b', 'c', 0x26, 0x01, 0x00, 0x00}));
  lzss_test::ExpectRoundTrip(Bytes{'a', 'b', 'c'});
}

TEST(Lzss, EmptyInputWritesNothingAndLengthZeroReadsNothing) {
  QOStrStream out;
  EXPECT_EQ(LzssEncodeMemory(out, "", 0), 0u);
  QIStrStream empty;
  EXPECT_EQ(LzssEncodeStream(out, empty, 100), 0u);
  EXPECT_EQ(out.GetLength(), 0);

  const char junk[] = "\x00\x01\x02";  // fails any decode of length > 0
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

// The initial window is spaces: the first string matches the spaces just in
// front of the start position (distance 18), every later one the bytes just
// produced (distance 1).
TEST(Lzss, SpacesAreReferencesOnly) {
  Bytes spaces(1024, ' ');
  std::vector<Item> items = ParseItems(EncodeToVector(spaces), spaces.size());
  ASSERT_EQ(items.size(), 57u);  // 56 x 18 + 16
  for (size_t i = 0; i < items.size(); i++) {
    EXPECT_FALSE(items[i].literal) << i;
    EXPECT_EQ(items[i].distance, i == 0 ? 18 : 1) << i;
    EXPECT_EQ(items[i].length, i + 1 < items.size() ? 18 : 16) << i;
  }
  lzss_test::ExpectRoundTrip(spaces);
}

// After the first literal every full reference repeats the previous byte.
// The last, shorter one may come from further back: once the input has ended
// the look-ahead is followed by old window bytes, and among the many equally
// long matches the tree walk keeps the first it meets.
TEST(Lzss, ByteRunIsOneLiteralThenDistanceOneReferences) {
  Bytes run(1000, 'x');
  std::vector<Item> items = ParseItems(EncodeToVector(run), run.size());
  ASSERT_EQ(items.size(), 1 + (999 + 17) / 18);
  EXPECT_TRUE(items[0].literal);
  EXPECT_EQ(items[0].byte, 'x');
  for (size_t i = 1; i < items.size(); i++) {
    EXPECT_FALSE(items[i].literal) << i;
    if (i + 1 < items.size()) {
      EXPECT_EQ(items[i].distance, 1) << i;
      EXPECT_EQ(items[i].length, 18) << i;
    }
  }
  EXPECT_EQ(items.back().length, 999 % 18);
  lzss_test::ExpectRoundTrip(run);
}

// Distance 0 names the byte a full window back, which near the start is the
// initial window's never-written (zero) tail. The encoder never writes it.
TEST(Lzss, DistanceZeroReadsAFullWindowBack) {
  Bytes packed = {0x01, 'q', 0x00, 0x00, 'q', 0, 0, 0};  // literal q, (0, 3), sum
  Bytes out(4, 0xAA);
  ASSERT_TRUE(LzssDecodeMemory(out.data(), 4, packed.data(), packed.size()));
  EXPECT_EQ(out, (Bytes{'q', 0, 0, 0}));
}

TEST(Lzss, EveryDecoderReportsEachFailureOnce) {
  Bytes abc = EncodeToVector(Bytes{'a', 'b', 'c'});
  Bytes run = EncodeToVector(Bytes(1000, 'x'));
  Bytes bad_sum = abc;
  bad_sum[5] ^= 0x01;
  struct Case {
    const char* name;
    Bytes packed;
    size_t length;
    LzssError expected;
  } cases[] = {
      {"items cut", Bytes(abc.begin(), abc.begin() + 3), 3, LzssError::kReadFailed},
      {"no flag byte", Bytes{}, 3, LzssError::kReadFailed},
      {"checksum cut", Bytes(abc.begin(), abc.end() - 1), 3, LzssError::kEndOfStream},
      // Two literals fill a length of 2; 'c' and the sum then read as a wrong checksum.
      {"length short by one, literals", abc, 2, LzssError::kChecksum},
      // The last reference of the run would pass the end.
      {"length short by one, reference", run, 999, LzssError::kOverflow},
      {"checksum byte changed", bad_sum, 3, LzssError::kChecksum},
  };
  const std::regex line_format(R"(ssCompress\(\d+\) : (.*))");
  for (const Case& c : cases) {
    for (int form = 0; form < 4; form++) {
      SCOPED_TRACE(testing::Message() << c.name << ", form " << form);
      ScopedReportCapture reports;
      LzssError error = LzssError::kNone;
      QIStrStream in(c.packed.data(), c.packed.size());
      QOStrStream sink;
      Bytes out(c.length + 8, 0xEE);
      bool ok = form == 0 ? LzssDecodeMemory(out.data(), c.length, c.packed.data(), c.packed.size(),
                                             &error)
                : form == 1 ? LzssDecodeStream(out.data(), c.length, in, &error)
                : form == 2 ? LzssDecodeToStream(sink, c.length, in, &error)
                            : LzssSkip(in, c.length, &error);
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, c.expected);
      ASSERT_EQ(reports.Count(), 1);
      std::smatch m;
      const std::string report = reports.Texts(ReportSlot::kErrorAt).at(0);
      ASSERT_TRUE(std::regex_match(report, m, line_format)) << report;
      EXPECT_EQ(m[1].str(), LzssErrorText(c.expected));
      for (size_t i = c.length; i < out.size(); i++) ASSERT_EQ(out[i], 0xEE) << i;
      EXPECT_LE(sink.GetLength(), static_cast<std::int64_t>(c.length));
    }
  }
}

// A checksum failure comes after all data was produced, and the data stays.
TEST(Lzss, ChangedChecksumStillDeliversTheData) {
  Bytes data = lzss_test::MixedBytes(20000, 3);
  Bytes packed = EncodeToVector(data);
  packed[packed.size() - 2] ^= 0x40;
  Bytes out(data.size());
  ScopedReportCapture reports;
  EXPECT_FALSE(LzssDecodeMemory(out.data(), out.size(), packed.data(), packed.size()));
  EXPECT_EQ(out, data);
  QIStrStream in(packed.data(), packed.size());
  QOStrStream sink;
  EXPECT_FALSE(LzssDecodeToStream(sink, data.size(), in));
  EXPECT_EQ(lzss_test::ToBytes(sink), data);
}

// Every cut of a block fails: never a success, never a read past the
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
    EXPECT_EQ(error, cut + 4 >= packed.size() ? LzssError::kEndOfStream : LzssError::kReadFailed)
        << cut;
    for (size_t i = data.size(); i < out.size(); i++) ASSERT_EQ(out[i], 0xEE);
  }
}

TEST(Lzss, StreamFormsReadNoFurtherThanTheirBlock) {
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
  EXPECT_EQ(lzss_test::ToBytes(out_b), b);
  ASSERT_TRUE(LzssSkip(in, a.size()));
  EXPECT_EQ(in.get(), '!');

  // The stream encoder takes no more than the length it is given.
  QIStrStream source(b.data(), b.size());
  QOStrStream first, rest;
  EXPECT_EQ(LzssEncodeStream(first, source, 6000), 6000u);
  EXPECT_EQ(source.tellg(), 6000);
  EXPECT_EQ(LzssEncodeStream(rest, source, 1u << 30), b.size() - 6000);
  EXPECT_EQ(lzss_test::ToBytes(first), EncodeToVector(Bytes(b.begin(), b.begin() + 6000)));
  EXPECT_EQ(lzss_test::ToBytes(rest), EncodeToVector(Bytes(b.begin() + 6000, b.end())));
}

// Sizes cover the window edges (start position, window, window plus
// look-ahead) and the staging buffers of the stream forms.
TEST(Lzss, RoundTripsAcrossSizesAndForms) {
  std::vector<size_t> sizes = {0,    1,    2,     3,     17,    18,    19,    150,
                               1024, 4077, 4078,  4079,  4095,  4096,  4097,  4113,
                               4114, 4115, 32767, 32768, 36864, 36865, 65536, 70000};
  std::mt19937 rng(20261208);
  for (int i = 0; i < 12; i++) sizes.push_back(rng() % 70001);
  for (size_t size : sizes) {
    for (int kind = 0; kind < lzss_test::kDataKinds; kind++) {
      SCOPED_TRACE(testing::Message() << "size " << size << " kind " << kind);
      lzss_test::ExpectRoundTrip(lzss_test::MakeBytes(kind, size, rng()));
      if (testing::Test::HasFailure()) return;
    }
  }
}

TEST(Lzss, RoundTripsRealFiles) {
  int tried = 0;
  for (const std::string& path :
       {lzss_test::SelfPath(), std::string(CORVANE_SOURCE_DIR) + "/src/stream/lzss_encoder.cpp",
        std::string("/usr/share/common-licenses/GPL-3")}) {
    Bytes data;
    if (!lzss_test::ReadFile(path, 2u << 20, data)) continue;
    SCOPED_TRACE(path);
    tried++;
    lzss_test::ExpectRoundTrip(data);
    EXPECT_LT(EncodeToVector(data).size(), data.size());  // none of them is random
  }
  EXPECT_GE(tried, 2);
}

}  // namespace
}  // namespace corvane
