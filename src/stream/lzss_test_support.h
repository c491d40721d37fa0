#pragma once

// Helpers shared by the LZSS tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "stream/lzss.h"
#include "stream/lzss_test_data.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane::lzss_test {

inline Bytes ToBytes(const QOStrStream& out) {
  const char* data = out.str();
  return data ? Bytes(data, data + out.GetLength()) : Bytes();
}

// Encoded through the memory form and an output stream.
inline Bytes EncodeToVector(const Bytes& data) {
  QOStrStream out;
  LzssEncodeMemory(out, data.data(), data.size());
  return ToBytes(out);
}

// One item of a block, as the format describes it.
struct Item {
  bool literal = false;
  std::uint8_t byte = 0;
  int distance = 0;
  int length = 0;
};

// Splits a well-formed block that decodes to `length` bytes into its items
// (checksum excluded). Fails the test on malformed input.
inline std::vector<Item> ParseItems(const Bytes& packed, std::size_t length) {
  std::vector<Item> items;
  if (length == 0) {
    EXPECT_TRUE(packed.empty()) << "an empty block is no bytes at all";
    return items;
  }
  std::size_t at = 0;
  std::size_t produced = 0;
  while (produced < length) {
    if (at >= packed.size()) {
      ADD_FAILURE() << "block ends inside its items";
      return items;
    }
    std::uint8_t flags = packed[at++];
    for (int bit = 0; bit < 8 && produced < length; bit++) {
      Item item;
      if (flags >> bit & 1) {
        if (at + 1 > packed.size()) break;
        item.literal = true;
        item.byte = packed[at++];
        item.length = 1;
      } else {
        if (at + 2 > packed.size()) break;
        item.distance = packed[at] | (packed[at + 1] & 0xF0) << 4;
        item.length = (packed[at + 1] & 0x0F) + 3;
        at += 2;
      }
      produced += static_cast<std::size_t>(item.length);
      items.push_back(item);
    }
  }
  EXPECT_EQ(produced, length);
  EXPECT_EQ(at + 4, packed.size()) << "checksum must follow the items";
  return items;
}

// All three encoders agree; all four decoders give `data` back and leave
// their input stream right after the block.
inline void ExpectRoundTrip(const Bytes& data) {
  Bytes packed = EncodeToVector(data);
  EXPECT_LE(packed.size(), LzssMaxEncodedSize(data.size()));
  Bytes direct(LzssMaxEncodedSize(data.size()));
  direct.resize(LzssEncodeToBuffer(direct.data(), data.data(), data.size()));
  EXPECT_EQ(direct, packed);
  QIStrStream source(data.data(), data.size());
  QOStrStream streamed;
  EXPECT_EQ(LzssEncodeStream(streamed, source, data.size() + 10), data.size());
  EXPECT_EQ(ToBytes(streamed), packed);

  Bytes out(data.size() + 1, 0xEE);  // one guard byte
  ASSERT_TRUE(LzssDecodeMemory(out.data(), data.size(), packed.data(), packed.size()));
  EXPECT_EQ(out.back(), 0xEE);
  out.pop_back();
  EXPECT_EQ(out, data);
  const auto end = static_cast<std::int64_t>(packed.size());
  QIStrStream in(packed.data(), packed.size());
  ASSERT_TRUE(LzssDecodeStream(out.data(), data.size(), in));
  EXPECT_EQ(out, data);
  EXPECT_EQ(in.tellg(), end);
  in.seekg(0);
  QOStrStream sink;
  ASSERT_TRUE(LzssDecodeToStream(sink, data.size(), in));
  EXPECT_EQ(ToBytes(sink), data);
  EXPECT_EQ(in.tellg(), end);
  in.seekg(0);
  ASSERT_TRUE(LzssSkip(in, data.size()));
  EXPECT_EQ(in.tellg(), end);
}

// Reads at most `limit` bytes of a file; false when it cannot be opened.
inline bool ReadFile(const std::string& path, std::size_t limit, Bytes& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.resize(limit);
  out.resize(std::fread(out.data(), 1, limit, f));
  std::fclose(f);
  return true;
}

// This test program's own file where the system names it; empty elsewhere.
inline std::string SelfPath() {
#if defined(_WIN32)
  return std::string();
#else
  return "/proc/self/exe";
#endif
}

}  // namespace corvane::lzss_test
