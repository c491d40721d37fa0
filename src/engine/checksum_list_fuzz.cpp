// Reads a checksum list of arbitrary bytes; every name must lie inside the
// input and no line may exceed the line limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/checksum_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  corvane::ChecksumListReader reader(text, size);
  corvane::ChecksumLine line;
  while (reader.Next(&line)) {
    if (line.values.empty()) std::abort();
    if (line.name.size() > corvane::kMaxChecksumLineLength) std::abort();
    if (!line.name.empty() &&
        (line.name.data() < text || line.name.data() + line.name.size() > text + size)) {
      std::abort();
    }
  }
  return 0;
}
