#include "engine/writer/difference_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/byte_sum.h"
#include "engine/writer/matching_bytes.h"

namespace corvane {

namespace {

constexpr int64_t kMinContinuation = 9;  // shorter agreements are not worth a record
constexpr int32_t kMinCandidate = 16;
constexpr int32_t kMaxCandidate = 1024;
constexpr int64_t kContinuationChunk = 0x40000;
constexpr float kStartRadius = 256.0f;
constexpr float kMaxInsertStep = 16384.0f;
constexpr float kGrowth = 1.1f;
constexpr int64_t kProgressBytes = 0x40000;

// Rounds to single precision through memory. The x87 unit of the 32-bit build
// would otherwise keep float intermediates in extended precision, and the
// radius and step would drift from the ones every other build computes.
float Settle(float value) {
  volatile float stored = value;
  return stored;
}

constexpr size_t kNotFound = static_cast<size_t>(-1);

uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

// Bit 7 of each byte set exactly where `x` has a zero byte (no carries cross
// bytes, so there are no false hits).
uint64_t ZeroBytes(uint64_t x) {
  constexpr uint64_t k7F = 0x7F7F7F7F7F7F7F7Full;
  return ~(((x & k7F) + k7F) | x | k7F);
}

// Candidates need 16 equal bytes, so a position whose first two bytes differ
// from the new bytes' first two can never be one; filtering on both bytes
// instead of the first alone skips most of a text-like range at word speed.
// These find the first / last i in [lo, hi) with p[i] == a and p[i + 1] == b;
// p[hi] must be readable.
size_t FindPairForward(const uint8_t* p, size_t lo, size_t hi, uint8_t a, uint8_t b) {
  size_t i = lo;
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t wa = a * 0x0101010101010101ull, wb = b * 0x0101010101010101ull;
    for (; i + 8 <= hi; i += 8) {
      uint64_t hits = ZeroBytes((Load64(p + i) ^ wa) | (Load64(p + i + 1) ^ wb));
      if (hits != 0) return i + static_cast<size_t>(std::countr_zero(hits) >> 3);
    }
  }
  for (; i < hi; ++i) {
    if (p[i] == a && p[i + 1] == b) return i;
  }
  return kNotFound;
}

size_t FindPairBackward(const uint8_t* p, size_t lo, size_t hi, uint8_t a, uint8_t b) {
  size_t i = hi;
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t wa = a * 0x0101010101010101ull, wb = b * 0x0101010101010101ull;
    while (i >= lo + 8) {
      i -= 8;
      uint64_t hits = ZeroBytes((Load64(p + i) ^ wa) | (Load64(p + i + 1) ^ wb));
      if (hits != 0) return i + static_cast<size_t>((63 - std::countl_zero(hits)) >> 3);
    }
  }
  while (i > lo) {
    --i;
    if (p[i] == a && p[i + 1] == b) return i;
  }
  return kNotFound;
}

class Search {
 public:
  Search(MappedFile& old_file, MappedFile& new_file, PendingRecord& record, const std::string& name,
         DiffProgress& progress)
      : old_(old_file),
        new_(new_file),
        record_(record),
        name_(name),
        progress_(progress),
        old_length_(old_file.IsOpen() ? old_file.Length() : 0),
        new_length_(new_file.Length()) {}

  bool Run(uint32_t* checksum);

 private:
  bool Continuation(int64_t n, int64_t o, int64_t* count);
  bool AddToSum(int64_t position, int64_t length);
  bool LoadNeedle(int64_t n);
  int32_t Measure(int64_t candidate, int32_t need);
  void Judge(int64_t candidate, int32_t length);
  bool ScanForward(int64_t o, int64_t radius);
  bool ScanBackward(int64_t o, int64_t radius);

  MappedFile& old_;
  MappedFile& new_;
  PendingRecord& record_;
  const std::string& name_;
  DiffProgress& progress_;
  const int64_t old_length_;
  const int64_t new_length_;
  uint32_t sum_ = 0;
  bool failed_ = false;

  // The new bytes a candidate is measured against, from the current position.
  uint8_t needle_[kMaxCandidate];
  int32_t needle_length_ = 0;
  int64_t best_position_ = -1;
  int32_t best_length_ = 0;
};

bool Search::Run(uint32_t* checksum) {
  int64_t n = 0;
  int64_t o = 0;
  float growth = 1.0f;
  while (n < new_length_ && !failed_) {
    progress_.Show(name_.c_str(), new_length_ - n);

    int64_t c = 0;
    if (!Continuation(n, o, &c)) break;
    if (c >= kMinContinuation || c == new_length_ - n) {
      record_.AddCopy(static_cast<int32_t>(o), static_cast<int32_t>(c));
      if (!AddToSum(n, c)) break;
      o += c;
      n += c;
      growth = 1.0f;
      continue;
    }

    int64_t radius = SearchRadius(growth, static_cast<int32_t>(old_length_));
    best_position_ = -1;
    best_length_ = 0;
    if (!LoadNeedle(n)) break;
    // A candidate needs 16 equal bytes; with fewer new bytes left none can win.
    if (needle_length_ >= kMinCandidate) {
      if (!ScanForward(o, radius) || !ScanBackward(o, radius)) break;
    }
    if (best_position_ >= 0) {
      o = best_position_;
      continue;
    }

    int64_t k = std::min(InsertStep(growth), new_length_ - n);
    record_.AddInsert(static_cast<int32_t>(n), static_cast<int32_t>(k));
    if (!AddToSum(n, k)) break;
    n += k;
    growth = GrowFactor(growth);
  }
  *checksum = sum_;
  return !failed_ && n >= new_length_;
}

bool Search::Continuation(int64_t n, int64_t o, int64_t* count) {
  int64_t limit = std::min(new_length_ - n, old_length_ - o);
  int64_t c = 0;
  while (c < limit) {
    int64_t chunk_end = c + std::min(kContinuationChunk, limit - c);
    while (c < chunk_end) {
      int32_t new_available = 0, old_available = 0;
      const uint8_t* a = new_.SpanAt(static_cast<int32_t>(n + c), &new_available);
      const uint8_t* b = a ? old_.SpanAt(static_cast<int32_t>(o + c), &old_available) : nullptr;
      if (b == nullptr) {
        failed_ = true;
        return false;
      }
      // `a` stays valid: the two spans come from different files.
      size_t span =
          static_cast<size_t>(std::min<int64_t>({chunk_end - c, new_available, old_available}));
      size_t equal = MatchingBytes(a, b, span);
      c += static_cast<int64_t>(equal);
      if (equal < span) {
        *count = c;
        progress_.Show(name_.c_str(), new_length_ - n - c);
        return true;
      }
    }
    progress_.Show(name_.c_str(), new_length_ - n - c);
  }
  *count = c;
  return true;
}

bool Search::AddToSum(int64_t position, int64_t length) {
  while (length > 0) {
    int32_t available = 0;
    const uint8_t* data = new_.SpanAt(static_cast<int32_t>(position), &available);
    if (data == nullptr) {
      failed_ = true;
      return false;
    }
    int64_t take = std::min<int64_t>(available, length);
    sum_ = AddByteSum(sum_, data, static_cast<size_t>(take));
    position += take;
    length -= take;
  }
  return true;
}

bool Search::LoadNeedle(int64_t n) {
  needle_length_ = static_cast<int32_t>(std::min<int64_t>(kMaxCandidate, new_length_ - n));
  int32_t loaded = 0;
  while (loaded < needle_length_) {
    int32_t available = 0;
    const uint8_t* data = new_.SpanAt(static_cast<int32_t>(n + loaded), &available);
    if (data == nullptr) {
      failed_ = true;
      return false;
    }
    int32_t take = std::min(available, needle_length_ - loaded);
    std::memcpy(needle_ + loaded, data, static_cast<size_t>(take));
    loaded += take;
  }
  return true;
}

// The run of equal bytes at `candidate`, at most min(new bytes left, old bytes
// left, 1,024); 0 whenever it cannot reach `need` (then it can neither win nor
// end a scan, so its exact length does not matter).
int32_t Search::Measure(int64_t candidate, int32_t need) {
  int32_t cap = static_cast<int32_t>(std::min<int64_t>(needle_length_, old_length_ - candidate));
  if (cap < need) return 0;
  int32_t length = 0;
  while (length < cap) {
    int32_t available = 0;
    const uint8_t* data = old_.SpanAt(static_cast<int32_t>(candidate + length), &available);
    if (data == nullptr) {
      failed_ = true;
      return 0;
    }
    int32_t span = std::min(available, cap - length);
    int32_t equal =
        static_cast<int32_t>(MatchingBytes(needle_ + length, data, static_cast<size_t>(span)));
    length += equal;
    if (equal < span) break;
  }
  return length >= need ? length : 0;
}

// A run of at least 16 bytes at least as long as the best so far becomes the
// best: of equal runs, the one met later wins.
void Search::Judge(int64_t candidate, int32_t length) {
  if (length >= kMinCandidate && length >= best_length_) {
    best_position_ = candidate;
    best_length_ = length;
  }
}

bool Search::ScanForward(int64_t o, int64_t radius) {
  const uint8_t a = needle_[0], b = needle_[1];
  int64_t end = o + std::min(radius, old_length_ - o);
  // Past this no candidate has 16 old bytes left.
  end = std::min(end, old_length_ - kMinCandidate + 1);
  int64_t u = o;
  while (u < end) {
    int32_t available = 0;
    const uint8_t* data = old_.SpanAt(static_cast<int32_t>(u), &available);
    if (data == nullptr) {
      failed_ = true;
      return false;
    }
    size_t span = static_cast<size_t>(std::min<int64_t>(available, end - u));
    // The window's last byte has its successor in the next window: judged on
    // its first byte alone (Measure checks the rest).
    size_t inner = std::min(span, static_cast<size_t>(available) - 1);
    size_t hit = FindPairForward(data, 0, inner, a, b);
    if (hit == kNotFound) {
      if (span > inner && data[inner] == a) {
        hit = inner;
      } else {
        u += static_cast<int64_t>(span);
        continue;
      }
    }
    u += static_cast<int64_t>(hit);
    int32_t length = Measure(u, std::max(kMinCandidate, best_length_));
    if (failed_) return false;
    Judge(u, length);
    if (length == kMaxCandidate) break;
    ++u;
  }
  return true;
}

bool Search::ScanBackward(int64_t o, int64_t radius) {
  const uint8_t a = needle_[0], b = needle_[1];
  const int64_t low = std::max<int64_t>(0, o - radius);
  const int64_t window_mask = old_.IsOpen() ? old_.WindowSize() - 1 : 0;
  int64_t u = std::min(o - 1, old_length_ - kMinCandidate);
  while (u >= low) {
    int64_t window_start = u & ~window_mask;
    int32_t available = 0;
    const uint8_t* base = old_.SpanAt(static_cast<int32_t>(window_start), &available);
    if (base == nullptr) {
      failed_ = true;
      return false;
    }
    size_t from = static_cast<size_t>(std::max(low, window_start) - window_start);
    size_t top = static_cast<size_t>(u - window_start);
    size_t hit = kNotFound;
    if (top == static_cast<size_t>(available) - 1) {
      // As above: the window's last byte is judged on its first byte alone.
      if (base[top] == a) hit = top;
    } else {
      ++top;
    }
    if (hit == kNotFound) hit = FindPairBackward(base, from, top, a, b);
    if (hit == kNotFound) {
      u = window_start + static_cast<int64_t>(from) - 1;
      continue;
    }
    u = window_start + static_cast<int64_t>(hit);
    int32_t length = Measure(u, std::max(kMinCandidate, best_length_));
    if (failed_) return false;
    Judge(u, length);
    if (length == kMaxCandidate) break;
    --u;
  }
  return true;
}

}  // namespace

int64_t SearchRadius(float growth, int32_t old_length) {
  float old_bytes = Settle(static_cast<float>(old_length));
  float radius = Settle(kStartRadius * growth);
  float limit = std::min(old_bytes, radius);
  return static_cast<int64_t>(std::nearbyint(Settle(limit + 0.5f)));
}

int64_t InsertStep(float growth) {
  float step = std::min(growth, kMaxInsertStep);
  return static_cast<int64_t>(std::nearbyint(Settle(step + 0.5f)));
}

float GrowFactor(float growth) { return Settle(growth * kGrowth); }

void DiffProgress::Reset(int64_t remembered) {
  last_remaining_ = remembered;
  last_time_ = std::chrono::steady_clock::now();
}

void DiffProgress::Show(const char* name, int64_t remaining) {
  if (remaining > 0 && last_remaining_ - remaining < kProgressBytes) {
    auto now = std::chrono::steady_clock::now();
    if (now - last_time_ < std::chrono::milliseconds(1000)) return;
  }
  messages_.Print("%20s %10d KB\r", name, static_cast<int>(remaining / 1024));
  if (hook_) hook_(remaining);
  last_remaining_ = remaining;
  last_time_ = std::chrono::steady_clock::now();
}

bool RunDifferenceSearch(MappedFile& old_file, MappedFile& new_file, PendingRecord& record,
                         const std::string& progress_name, DiffProgress& progress,
                         uint32_t* checksum) {
  Search search(old_file, new_file, record, progress_name, progress);
  return search.Run(checksum);
}

}  // namespace corvane
