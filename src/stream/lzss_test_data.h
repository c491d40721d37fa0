#pragma once

// Deterministic sample data for the LZSS tests and benchmark: text-like,
// binary records, byte runs and random bytes, alone or interleaved.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace corvane::lzss_test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kDataKinds = 5;  // text, records, runs, random, mixed

namespace detail {

inline void AppendText(Bytes& out, std::size_t end, std::mt19937& rng) {
  static const char* const kWords[] = {
      "the",    "patch", "file",  "version", "update",   "game",      "of",       "and",
      "to",     "a",     "in",    "is",      "for",      "data",      "block",    "window",
      "stream", "class", "entry", "value",   "registry", "signature", "manifest", "directory"};
  constexpr unsigned kCount = sizeof(kWords) / sizeof(kWords[0]);
  while (out.size() < end) {
    unsigned w = rng() % kCount;
    w = w * w / kCount;  // a few words are far more common, as in prose
    const char* tail = rng() % 16 == 0 ? ".\n" : " ";
    for (const char* part : {kWords[w], tail}) {
      for (const char* c = part; *c && out.size() < end; ++c) out.push_back(*c);
    }
  }
}

// 24-byte records: a counter, small numbers, floats, flags and addresses.
inline void AppendRecords(Bytes& out, std::size_t end, std::mt19937& rng) {
  while (out.size() < end) {
    auto next = [&rng] { return static_cast<std::uint32_t>(rng()); };
    const std::uint32_t record[6] = {
        static_cast<std::uint32_t>(out.size() / 24), next() % 100,
        0x3F800000u + (next() % 256 << 8),           0,
        next() % 3 ? 0xFFFFFFFFu : next(),           0x401000u + next() % 4096 * 4};
    for (int b = 0; b < 24 && out.size() < end; b++) {
      out.push_back(static_cast<std::uint8_t>(record[b / 4] >> (8 * (b % 4))));
    }
  }
}

inline void AppendRuns(Bytes& out, std::size_t end, std::mt19937& rng) {
  while (out.size() < end) {
    std::uint8_t value = rng() % 4 ? 0 : static_cast<std::uint8_t>(rng());
    out.insert(out.end(), std::min<std::size_t>(1 + rng() % 400, end - out.size()), value);
  }
}

inline void AppendKind(int kind, Bytes& out, std::size_t end, std::mt19937& rng) {
  switch (kind) {
    case 0:
      AppendText(out, end, rng);
      break;
    case 1:
      AppendRecords(out, end, rng);
      break;
    case 2:
      AppendRuns(out, end, rng);
      break;
    default:
      while (out.size() < end) out.push_back(static_cast<std::uint8_t>(rng()));
  }
}

}  // namespace detail

// `size` bytes of one kind (0 text, 1 records, 2 runs, 3 random, 4 mixed).
inline Bytes MakeBytes(int kind, std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  if (kind < 4) {
    detail::AppendKind(kind, out, size, rng);
    return out;
  }
  // Mixed: the four kinds in turn, in pieces of varying size.
  int piece = 0;
  while (out.size() < size) {
    std::size_t end = std::min(size, out.size() + 1 + rng() % 6000);
    detail::AppendKind(piece++ % 4, out, end, rng);
  }
  return out;
}

inline Bytes MixedBytes(std::size_t size, std::uint32_t seed) { return MakeBytes(4, size, seed); }

// The benchmark's input: the four kinds in turn, 64 KiB at a time.
inline Bytes BenchmarkBytes(std::size_t size) {
  std::mt19937 rng(12345);
  Bytes out;
  out.reserve(size);
  for (int piece = 0; out.size() < size; piece++) {
    detail::AppendKind(piece % 4, out, std::min(size, out.size() + (64u << 10)), rng);
  }
  return out;
}

}  // namespace corvane::lzss_test
