// Reads arbitrary bytes through SerializeBinStream. The data drives the
// reads itself: each step reads an opcode byte and then the item it names,
// with block lengths taken from the data (cut to 128 KiB).

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/banked_string.h"
#include "stream/qi_str_stream.h"
#include "stream/serialize_bin_stream.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> input(data, data + size);
  corvane::QIStrStream in(input.data(), input.size());
  corvane::SerializeBinStream s(in);
  for (int step = 0; step < 4096 && !in.eof(); step++) {
    std::uint8_t op = 0;
    s.Transfer(op);
    switch (op % 8) {
      case 0: {
        std::int32_t value;
        s.TransferInt(value);
        break;
      }
      case 1: {
        corvane::BankedString text;
        s.TransferString(text);
        break;
      }
      case 2: {
        corvane::RString text;
        s.TransferString(text);
        break;
      }
      case 3:
      case 4: {
        std::int32_t length = 0;
        s.TransferInt(length);
        std::vector<std::uint8_t> block(static_cast<std::uint32_t>(length) % (128u << 10));
        s.TransferBlock(block.data(), block.size(), op % 8 == 3);
        break;
      }
      case 5: {
        std::int32_t length = 0;
        s.TransferInt(length);
        s.SkipBlock(static_cast<std::uint32_t>(length) % (128u << 10), (op & 0x80) != 0);
        break;
      }
      case 6:
        s.TransferVersion(op & 0x0F, 0x7FFFFFFF);
        break;
      default:
        s.SeekG(s.TellG() + (op >> 3));
        break;
    }
    Check(s.TellG() >= 0 && s.TellG() <= static_cast<std::int64_t>(size));
    Check(s.GetError() == 0 || s.GetError() == corvane::SerializeBinStream::kErrorDecode);
  }
  return 0;
}
