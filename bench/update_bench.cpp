// Creating and applying update files on generated old/new pairs. Each pair is
// written once to a scratch directory; the benchmarks then run CreatePatch and
// ApplyPatch on it and report bytes of new file per second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/apply_patch.h"
#include "engine/writer/create_patch.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// Random "compressed" blocks mixed with text-like ones, like an archive.
Bytes MakeOld(size_t size, std::mt19937& random) {
  Bytes bytes(size);
  for (size_t i = 0; i < size;) {
    size_t block = std::min(size - i, static_cast<size_t>(4096 + random() % 65536));
    bool text = random() % 4 == 0;
    for (size_t j = 0; j < block; ++j) {
      uint32_t r = random();
      bytes[i + j] =
          text ? static_cast<uint8_t>("etaoin shrdlu\n"[r % 14]) : static_cast<uint8_t>(r);
    }
    i += block;
  }
  return bytes;
}

enum class Edit { kScattered, kInsertedBlocks, kMovedBlocks };

Bytes MakeNew(const Bytes& old_bytes, Edit edit, std::mt19937& random) {
  Bytes bytes = old_bytes;
  switch (edit) {
    case Edit::kScattered:
      for (size_t e = 0; e < bytes.size() / 65536 + 1; ++e) {
        bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
      }
      break;
    case Edit::kInsertedBlocks:
      for (int e = 0; e < 8; ++e) {
        Bytes fresh(4096 + random() % 16384);
        for (uint8_t& b : fresh) b = static_cast<uint8_t>(random());
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(random() % bytes.size()),
                     fresh.begin(), fresh.end());
      }
      break;
    case Edit::kMovedBlocks:
      for (int e = 0; e < 4; ++e) {
        size_t length = std::min<size_t>(bytes.size() / 8, 65536);
        size_t from = random() % (bytes.size() - length);
        Bytes block(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                    bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                    bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
        size_t to = random() % bytes.size();
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(to), block.begin(), block.end());
      }
      break;
  }
  return bytes;
}

struct Pair {
  fs::path dir, old_path, new_path, update_path, output_path;
  size_t new_size = 0;
};

const Pair& GetPair(size_t size, Edit edit) {
  static std::vector<std::pair<std::string, Pair>> pairs;
  std::string key = std::to_string(size) + "_" + std::to_string(static_cast<int>(edit));
  for (const auto& entry : pairs) {
    if (entry.first == key) return entry.second;
  }
  std::mt19937 random(static_cast<uint32_t>(size) ^ static_cast<uint32_t>(edit));
  Pair pair;
  pair.dir = fs::temp_directory_path() / ("corvane_update_bench_" + key);
  fs::create_directories(pair.dir);
  pair.old_path = pair.dir / "old.bin";
  pair.new_path = pair.dir / "new.bin";
  pair.update_path = pair.dir / "x.upd";
  pair.output_path = pair.dir / "out.bin";
  Bytes old_bytes = MakeOld(size, random);
  Bytes new_bytes = MakeNew(old_bytes, edit, random);
  pair.new_size = new_bytes.size();
  WriteFile(pair.old_path, old_bytes);
  WriteFile(pair.new_path, new_bytes);
  pairs.emplace_back(key, pair);
  return pairs.back().second;
}

int Create(const Pair& pair) {
  std::error_code error;
  fs::remove(pair.update_path, error);
  corvane::CreatePatch create;
  return create.Process(pair.old_path.string().c_str(), pair.new_path.string().c_str(),
                        pair.update_path.string().c_str(), true);
}

void BM_CreatePatch(benchmark::State& state) {
  const Pair& pair =
      GetPair(static_cast<size_t>(state.range(0)), static_cast<Edit>(state.range(1)));
  for (auto _ : state) {
    if (Create(pair) != corvane::kPatchDone) state.SkipWithError("CreatePatch failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.new_size));
  std::error_code error;
  state.counters["update_bytes"] = static_cast<double>(fs::file_size(pair.update_path, error));
}

void BM_ApplyPatch(benchmark::State& state) {
  const Pair& pair =
      GetPair(static_cast<size_t>(state.range(0)), static_cast<Edit>(state.range(1)));
  if (Create(pair) != corvane::kPatchDone) state.SkipWithError("CreatePatch failed");
  for (auto _ : state) {
    corvane::ApplyPatch apply;
    if (apply.Process(pair.output_path.string().c_str(), pair.update_path.string().c_str(),
                      pair.old_path.string().c_str(), true) != corvane::kPatchDone) {
      state.SkipWithError("ApplyPatch failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.new_size));
}

void Pairs(benchmark::internal::Benchmark* bench) {
  for (int64_t size : {1 << 20, 16 << 20, 64 << 20}) {
    for (int64_t edit = 0; edit < 3; ++edit) bench->Args({size, edit});
  }
  bench->ArgNames({"size", "edit"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_CreatePatch)->Apply(Pairs);
BENCHMARK(BM_ApplyPatch)->Apply(Pairs);

}  // namespace

BENCHMARK_MAIN();
