// CRC-32 throughput: the three forms on a buffer in memory, and the
// verification's read path (ComputeFileCrc: MappedFile windows) over a
// generated installation of 200 files, 1 GiB in all.
//
// The installation is generated under the temporary directory and deleted
// afterwards, unless CORVANE_BENCH_TREE names an existing tree to read (what
// bench/verify_vs_cksum.sh does, to time cksum on the very same files).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "engine/crc32.h"
#include "run/verify_installation.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTreeFiles = 200;
constexpr int64_t kTreeBytes = int64_t{1} << 30;

std::vector<uint8_t> RandomBytes(size_t size) {
  std::vector<uint8_t> bytes(size);
  std::mt19937_64 random(42);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    uint64_t value = random();
    for (int k = 0; k < 8; ++k)
      bytes[i + static_cast<size_t>(k)] = static_cast<uint8_t>(value >> (8 * k));
  }
  return bytes;
}

void BM_Crc32(benchmark::State& state) {
  std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::Crc32(data.data(), data.size()));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(4096)->Arg(1 << 20);

void BM_Crc32Sliced(benchmark::State& state) {
  std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        corvane::Crc32UpdateSliced(corvane::kCrc32Initial, data.data(), data.size()));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc32Sliced)->Arg(1 << 20);

void BM_Crc32Bytewise(benchmark::State& state) {
  std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        corvane::Crc32UpdateBytewise(corvane::kCrc32Initial, data.data(), data.size()));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc32Bytewise)->Arg(1 << 20);

// A tree of 200 files of varied sizes (1 GiB in all), made once per process.
class Installation {
 public:
  Installation() {
    const char* given = std::getenv("CORVANE_BENCH_TREE");
    if (given != nullptr && *given != '\0') {
      root_ = given;
    } else {
      std::error_code error;
      root_ = fs::temp_directory_path(error) /
              ("corvane-crc-bench-" + std::to_string(std::random_device()()));
      Generate();
      owned_ = true;
    }
    for (auto& entry : fs::recursive_directory_iterator(root_)) {
      if (entry.is_regular_file()) {
        files_.push_back(entry.path().string());
        bytes_ += static_cast<int64_t>(entry.file_size());
      }
    }
  }
  ~Installation() {
    std::error_code error;
    if (owned_) fs::remove_all(root_, error);
  }

  const std::vector<std::string>& files() const { return files_; }
  int64_t bytes() const { return bytes_; }

 private:
  void Generate() {
    // Sizes from about 0.5 MiB to about 10 MiB whose sum is exactly 1 GiB.
    std::mt19937 random(7);
    std::vector<double> weights(kTreeFiles);
    double total = 0;
    for (double& weight : weights) total += weight = 0.1 + (random() % 1000) / 500.0;
    std::vector<uint8_t> chunk = RandomBytes(1 << 20);
    int64_t left = kTreeBytes;
    for (int i = 0; i < kTreeFiles; ++i) {
      int64_t size =
          i + 1 == kTreeFiles ? left : static_cast<int64_t>(kTreeBytes * weights[i] / total);
      left -= size;
      fs::path path =
          root_ / ("dir" + std::to_string(i % 8)) / ("file" + std::to_string(i) + ".pbo");
      fs::create_directories(path.parent_path());
      std::ofstream out(path, std::ios::binary);
      for (int64_t written = 0; written < size;) {
        int64_t piece = std::min<int64_t>(size - written, static_cast<int64_t>(chunk.size()));
        chunk[static_cast<size_t>(written / 4096) % chunk.size()] ^= static_cast<uint8_t>(i);
        out.write(reinterpret_cast<const char*>(chunk.data()), piece);
        written += piece;
      }
    }
  }

  fs::path root_;
  bool owned_ = false;
  std::vector<std::string> files_;
  int64_t bytes_ = 0;
};

void BM_VerifyInstallationFiles(benchmark::State& state) {
  static Installation installation;
  for (auto _ : state) {
    uint32_t combined = 0;
    for (const std::string& file : installation.files()) {
      uint32_t crc = 0;
      if (!corvane::ComputeFileCrc(file.c_str(), &crc)) state.SkipWithError("unreadable file");
      combined ^= crc;
    }
    benchmark::DoNotOptimize(combined);
  }
  state.SetBytesProcessed(state.iterations() * installation.bytes());
  state.counters["files"] = static_cast<double>(installation.files().size());
}
BENCHMARK(BM_VerifyInstallationFiles)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
