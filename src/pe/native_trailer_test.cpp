#include "pe/native_trailer.h"

#include <gtest/gtest.h>

#include <vector>

#include "pe/pe_format.h"

namespace corvane::pe {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(NativeTrailerTest, AppendedPayloadIsFoundAndReplacedNotStacked) {
  const Bytes program = {0x7F, 'E', 'L', 'F', 1, 2, 3};
  const Bytes first = {'M', 'Z', 9, 9};
  const Bytes file =
      AppendNativePayload(program.data(), program.size(), first.data(), first.size());
  ASSERT_EQ(file.size(), program.size() + first.size() + kNativeTrailerSize);
  NativeTrailer trailer;
  ASSERT_TRUE(
      DecodeNativeTrailer(file.data() + file.size() - kNativeTrailerSize, file.size(), &trailer));
  EXPECT_EQ(trailer.offset, program.size());
  EXPECT_EQ(trailer.size, first.size());

  const Bytes second = {'M', 'Z', 1};
  const Bytes again = AppendNativePayload(file.data(), file.size(), second.data(), second.size());
  ASSERT_EQ(again.size(), program.size() + second.size() + kNativeTrailerSize);
  EXPECT_EQ(Bytes(again.begin(), again.begin() + program.size()), program);
  EXPECT_EQ(NativeProgramSize(again.data(), again.size()), program.size());
}

TEST(NativeTrailerTest, InconsistentTrailersAreRefused) {
  uint8_t tail[kNativeTrailerSize];
  NativeTrailer trailer;
  EncodeNativeTrailer({10, 5}, tail);
  EXPECT_TRUE(DecodeNativeTrailer(tail, 10 + 5 + kNativeTrailerSize, &trailer));
  EXPECT_FALSE(DecodeNativeTrailer(tail, 10 + 6 + kNativeTrailerSize, &trailer));  // gap
  EXPECT_FALSE(DecodeNativeTrailer(tail, 10 + kNativeTrailerSize, &trailer));      // overlap
  EXPECT_FALSE(DecodeNativeTrailer(tail, kNativeTrailerSize - 1, &trailer));
  // offset + size wraps around 64 bits onto the right total.
  EncodeNativeTrailer({0xFFFFFFFFFFFFFFF0ull, 0x20}, tail);
  EXPECT_FALSE(DecodeNativeTrailer(tail, 0x10 + kNativeTrailerSize, &trailer));
  EncodeNativeTrailer({0, 0}, tail);
  tail[kNativeTrailerSize - 1] ^= 1;  // magic
  EXPECT_FALSE(DecodeNativeTrailer(tail, kNativeTrailerSize, &trailer));
  const Bytes plain(100, 0);
  EXPECT_EQ(NativeProgramSize(plain.data(), plain.size()), 100u);
}

}  // namespace
}  // namespace corvane::pe
