// What authenticating a payload against its manifest's list of items costs,
// beside what a run does with the same payload anyway.
//
// A payload DLL of 1 GiB (64 items of 16 MiB; CORVANE_BENCH_PAYLOAD_MIB sets
// another size) is written under the temporary directory. Two measurements:
// - BM_AuthenticatePayload: CheckPayloadItems, the one pass of SHA-256 over
//   every item that a run with the list adds before it changes anything;
// - BM_ExtractPayload: every item extracted as a whole file (written beside
//   its target and renamed), the least a run does with each byte it installs.
// The authentication's share of a run is the first time over the sum of both.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "param/param_file.h"
#include "pe/resource_writer.h"
#include "platform/resource_module.h"
#include "run/payload_inventory.h"
#include "run/payload_store.h"
#include "stream/qo_stream.h"
#include "text/code_page_1252.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kItemBytes = size_t{16} << 20;

struct BenchPayload {
  fs::path dir;
  std::string dll;
  std::vector<std::string> names;
  corvane::ParamFile manifest;
  bool ok = false;

  BenchPayload() {
    const char* mib_text = std::getenv("CORVANE_BENCH_PAYLOAD_MIB");
    const size_t mib =
        mib_text != nullptr ? static_cast<size_t>(std::strtoul(mib_text, nullptr, 10)) : 1024;
    const size_t count = std::max<size_t>(1, (mib << 20) / kItemBytes);
    std::error_code ignored;
    dir = fs::temp_directory_path(ignored) /
          ("corvane-auth-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir / "out", ignored);
    std::vector<std::vector<uint8_t>> contents(count);
    std::vector<std::u16string> wide(count);
    std::vector<corvane::pe::ResourceItem> items;
    std::vector<corvane::PayloadItemEntry> listed;
    std::mt19937_64 random(7);
    for (size_t i = 0; i < count; ++i) {
      contents[i].resize(kItemBytes);
      for (size_t k = 0; k + 8 <= kItemBytes; k += 8) {
        const uint64_t value = random();
        for (int b = 0; b < 8; ++b)
          contents[i][k + static_cast<size_t>(b)] = static_cast<uint8_t>(value >> (8 * b));
      }
      names.push_back("ALL\\DATA\\ITEM" + std::to_string(i) + ".BIN");
      wide[i] = corvane::text::Cp1252ToUtf16(names.back());
      items.push_back(
          corvane::pe::PayloadItem(wide[i], contents[i].data(), static_cast<uint32_t>(kItemBytes)));
      listed.push_back({names.back(), static_cast<uint32_t>(kItemBytes),
                        corvane::Sha256Hex(contents[i].data(), contents[i].size())});
    }
    corvane::WritePayloadItems(&manifest, listed);
    std::vector<uint8_t> image;
    dll = (dir / "payload.dll").string();
    ok = corvane::pe::WriteResourceDll(items, &image).ok();
    std::ofstream out(dll, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    ok = ok && !out.fail();
  }
  ~BenchPayload() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

BenchPayload& Payload() {
  static BenchPayload payload;
  return payload;
}

// Opens the payload DLL into `module`; false, with the bench skipped, when
// there is no payload.
bool OpenPayload(benchmark::State& state, const BenchPayload& payload,
                 corvane::platform::ResourceModule* module) {
  if (payload.ok && module->OpenFile(payload.dll.c_str())) return true;
  state.SkipWithError("no payload");
  return false;
}

void BM_AuthenticatePayload(benchmark::State& state) {
  BenchPayload& payload = Payload();
  corvane::platform::ResourceModule module;
  if (!OpenPayload(state, payload, &module)) return;
  for (auto _ : state) {
    const corvane::PayloadItemsCheck check = corvane::CheckPayloadItems(payload.manifest, module);
    if (check.status != corvane::PayloadItemsStatus::kMatches)
      state.SkipWithError("the payload does not match");
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(payload.names.size() * kItemBytes));
}
BENCHMARK(BM_AuthenticatePayload)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExtractPayload(benchmark::State& state) {
  BenchPayload& payload = Payload();
  corvane::platform::ResourceModule module;
  if (!OpenPayload(state, payload, &module)) return;
  for (auto _ : state) {
    for (size_t i = 0; i < payload.names.size(); ++i) {
      const std::string target =
          (payload.dir / "out" / ("item" + std::to_string(i) + ".bin")).string();
      if (!corvane::ExtractPayload(payload.names[i].c_str(), target.c_str(), module)) {
        state.SkipWithError("extraction failed");
      }
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(payload.names.size() * kItemBytes));
}
BENCHMARK(BM_ExtractPayload)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
