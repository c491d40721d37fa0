#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane::maker {

// A fast 64-bit hash of a byte sequence, fed in pieces of any length. A make
// uses it beside CRC-32 to tell equal files from different ones without
// comparing them byte for byte, and to fingerprint everything that goes into
// its outputs. It is no defence against collisions made on purpose: the files
// are the maker's own.
class ContentHash {
 public:
  void Update(const void* data, size_t size);
  void Update(const std::string& text) { Update(text.data(), text.size()); }
  // A number as 8 little-endian bytes.
  void UpdateNumber(uint64_t value);
  // A text and its length (so that "ab","c" and "a","bc" differ).
  void UpdateField(const std::string& text);

  // The hash of everything so far; more may be added afterwards.
  uint64_t Value() const;

 private:
  void Mix(uint64_t word);

  uint64_t state_ = 0x6A09E667F3BCC908ull;
  uint64_t length_ = 0;
  uint64_t pending_ = 0;  // bytes not yet making a whole word, low first
  int pending_bytes_ = 0;
};

}  // namespace corvane::maker
