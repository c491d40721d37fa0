// Decodes arbitrary bytes with every decoder form, and round-trips them
// through the encoder. Input: a 4-byte little-endian length (cut to 1 MiB),
// then the block.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stream/lzss.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

using corvane::LzssError;

constexpr std::size_t kMaxOutput = 1u << 20;

void Check(bool condition) {
  if (!condition) std::abort();
}

void DecodeAllForms(const std::uint8_t* block, std::size_t size, std::size_t length) {
  // Exact-size copy: any read past the block is a heap overflow.
  std::vector<std::uint8_t> input(block, block + size);
  std::vector<std::uint8_t> out(length);
  LzssError memory_error;
  bool memory_ok =
      corvane::LzssDecodeMemory(out.data(), length, input.data(), input.size(), &memory_error);

  corvane::QIStrStream in(input.data(), input.size());
  std::vector<std::uint8_t> out2(length);
  LzssError stream_error;
  bool stream_ok = corvane::LzssDecodeStream(out2.data(), length, in, &stream_error);
  Check(stream_ok == memory_ok && stream_error == memory_error);
  if (memory_ok) Check(out == out2);
  std::int64_t consumed = in.tellg();
  Check(consumed >= 0 && consumed <= static_cast<std::int64_t>(size));

  in.seekg(0);
  corvane::QOStrStream sink;
  LzssError sink_error;
  bool sink_ok = corvane::LzssDecodeToStream(sink, length, in, &sink_error);
  Check(sink_ok == memory_ok && sink_error == memory_error);
  Check(sink.GetLength() <= static_cast<std::int64_t>(length));
  if (sink_ok) {
    Check(sink.GetLength() == static_cast<std::int64_t>(length));
    Check(length == 0 || std::memcmp(sink.str(), out.data(), length) == 0);
    Check(in.tellg() == consumed);
  }

  in.seekg(0);
  LzssError skip_error;
  Check(corvane::LzssSkip(in, length, &skip_error) == memory_ok && skip_error == memory_error);
}

void RoundTrip(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> packed(corvane::LzssMaxEncodedSize(size));
  packed.resize(corvane::LzssEncodeToBuffer(packed.data(), data, size));
  Check(packed.empty() == (size == 0));
  std::vector<std::uint8_t> out(size);
  Check(corvane::LzssDecodeMemory(out.data(), size, packed.data(), packed.size()));
  Check(size == 0 || std::memcmp(out.data(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 4) {
    std::uint32_t length = static_cast<std::uint32_t>(data[0]) | data[1] << 8 | data[2] << 16 |
                           static_cast<std::uint32_t>(data[3]) << 24;
    DecodeAllForms(data + 4, size - 4, length % (kMaxOutput + 1));
  }
  RoundTrip(data, size);
  return 0;
}
