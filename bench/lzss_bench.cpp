// LZSS throughput on 16 MiB of mixed data (text-like, binary records, byte
// runs and random bytes in turn, 64 KiB each). bytes_per_second counts
// uncompressed bytes for both directions.
//
//   lzss_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <vector>

#include "stream/lzss.h"
#include "stream/lzss_test_data.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

using corvane::lzss_test::Bytes;

constexpr std::size_t kDataSize = 16u << 20;

const Bytes& Data() {
  static const Bytes data = corvane::lzss_test::BenchmarkBytes(kDataSize);
  return data;
}

const Bytes& Packed() {
  static const Bytes packed = [] {
    const Bytes& data = Data();
    Bytes out(corvane::LzssMaxEncodedSize(data.size()));
    out.resize(corvane::LzssEncodeToBuffer(out.data(), data.data(), data.size()));
    return out;
  }();
  return packed;
}

void Finish(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(Data().size()));
  state.counters["ratio"] = static_cast<double>(Packed().size()) / Data().size();
}

void BM_LzssEncodeMemory(benchmark::State& state) {
  const Bytes& data = Data();
  for (auto _ : state) {
    corvane::QOStrStream out;
    corvane::LzssEncodeMemory(out, data.data(), data.size());
    benchmark::DoNotOptimize(out.GetLength());
  }
  Finish(state);
}

void BM_LzssDecodeMemory(benchmark::State& state) {
  const Bytes& packed = Packed();
  Bytes out(Data().size());
  for (auto _ : state) {
    bool ok = corvane::LzssDecodeMemory(out.data(), out.size(), packed.data(), packed.size());
    if (!ok) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state);
}

void BM_LzssDecodeStream(benchmark::State& state) {
  const Bytes& packed = Packed();
  Bytes out(Data().size());
  for (auto _ : state) {
    corvane::QIStrStream in(packed.data(), packed.size());
    if (!corvane::LzssDecodeStream(out.data(), out.size(), in)) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  Finish(state);
}

void BM_LzssSkip(benchmark::State& state) {
  const Bytes& packed = Packed();
  for (auto _ : state) {
    corvane::QIStrStream in(packed.data(), packed.size());
    if (!corvane::LzssSkip(in, Data().size())) state.SkipWithError("decode failed");
  }
  Finish(state);
}

BENCHMARK(BM_LzssEncodeMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssDecodeStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzssSkip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
