#include "maker/content_hash.h"

#include <cstring>

namespace corvane::maker {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

uint64_t Finalise(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

}  // namespace

// Each 8-byte word goes through a bijection of the state (xor, multiply by an
// odd number, fold the high half down), so a single changed word always
// changes the result, and changes spread into every later step.
void ContentHash::Mix(uint64_t word) {
  state_ = (state_ ^ word) * kMultiplier;
  state_ ^= state_ >> 32;
}

void ContentHash::Update(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  length_ += size;
  while (size > 0 && pending_bytes_ != 0) {
    pending_ |= static_cast<uint64_t>(*bytes++) << (8 * pending_bytes_);
    --size;
    if (++pending_bytes_ == 8) {
      Mix(pending_);
      pending_ = 0;
      pending_bytes_ = 0;
    }
  }
  for (; size >= 8; bytes += 8, size -= 8) {
    uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = word << 8 | bytes[i];  // little-endian on any host
    Mix(word);
  }
  for (; size > 0; --size) pending_ |= static_cast<uint64_t>(*bytes++) << (8 * pending_bytes_++);
}

void ContentHash::UpdateNumber(uint64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  Update(bytes, sizeof bytes);
}

void ContentHash::UpdateField(const std::string& text) {
  UpdateNumber(text.size());
  Update(text);
}

uint64_t ContentHash::Value() const {
  // The length goes in last, so that trailing zero bytes count.
  return Finalise((state_ ^ pending_) * kMultiplier ^ length_);
}

}  // namespace corvane::maker
