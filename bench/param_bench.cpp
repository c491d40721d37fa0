// Loading a large binary configuration file and walking all of it.
//
// The generated file holds 100,000 classes (1,000 groups of 100), each with
// a text, an integer, a float and a five-item array; every tenth class of a
// group derives from the group's base class. About 10 MB.
//
// Timed: loading and the full walk (CollectParamTreeStats reads every
// entry, value and item); tearing the tree down is not timed.
// Peak memory: run under /usr/bin/time -v (maximum resident set size).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "param/param_file.h"
#include "param/param_tree_stats.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kClassesPerGroup = 100;

void BuildTree(corvane::ParamFile& file) {
  char name[64];
  char text[96];
  file.AddText("title", "Generated benchmark configuration");
  for (int g = 0; g < kGroups; ++g) {
    std::snprintf(name, sizeof name, "Group%04d", g);
    corvane::ParamClass* group = file.AddClass(name, true);
    group->BuildIndex();
    corvane::ParamClass* base = group->AddClass("Base", true);
    base->AddInt("defaultCost", g);
    for (int c = 0; c < kClassesPerGroup; ++c) {
      int id = g * kClassesPerGroup + c;
      std::snprintf(name, sizeof name, "Item%06d", id);
      corvane::ParamClass* item = group->AddClass(name, true);
      if (c % 10 == 0) item->SetBase(base);
      std::snprintf(text, sizeof text, "Description of item %d in group %d", id, g);
      item->AddText("displayName", text);
      item->AddInt("cost", id * 3);
      item->AddFloat("weight", static_cast<float>(id) * 0.25f);
      corvane::ParamEntry* list = item->AddArray("slots");
      for (int k = 0; k < 5; ++k) list->AddItemInt(id + k);
    }
  }
}

const std::vector<char>& FileBytes() {
  static std::vector<char> bytes = [] {
    corvane::ParamFile file;
    file.BuildIndex();
    BuildTree(file);
    corvane::QOStrStream out;
    file.SaveBin(out);
    return std::vector<char>(out.str(), out.str() + out.GetLength());
  }();
  return bytes;
}

const std::string& FilePath() {
  static std::string path = [] {
    // In the temporary folder, so the bench leaves nothing where it is run.
    std::string p = (std::filesystem::temp_directory_path() / "param_bench_100k.bin").string();
    if (std::FILE* f = std::fopen(p.c_str(), "wb")) {
      std::fwrite(FileBytes().data(), 1, FileBytes().size(), f);
      std::fclose(f);
    }
    return p;
  }();
  return path;
}

// The statistics of a loaded tree, read in full; the tree is then torn down
// outside the timing.
corvane::ParamTreeStats WalkAndTearDown(benchmark::State& state,
                                        std::unique_ptr<corvane::ParamFile> file) {
  corvane::ParamTreeStats stats = corvane::CollectParamTreeStats(*file);
  benchmark::DoNotOptimize(stats.text_bytes);
  state.PauseTiming();
  file.reset();
  state.ResumeTiming();
  return stats;
}

void Report(benchmark::State& state, const corvane::ParamTreeStats& stats) {
  state.counters["classes"] = static_cast<double>(stats.classes);
  state.counters["tree_MB"] = static_cast<double>(stats.memory) / 1048576.0;
  state.counters["file_MB"] = static_cast<double>(FileBytes().size()) / 1048576.0;
}

void BM_LoadFromMemoryAndWalk(benchmark::State& state) {
  const std::vector<char>& bytes = FileBytes();
  corvane::ParamTreeStats stats;
  for (auto _ : state) {
    corvane::QIStrStream in(bytes.data(), bytes.size());
    auto file = std::make_unique<corvane::ParamFile>();
    if (!file->LoadBin(in)) state.SkipWithError("load failed");
    stats = WalkAndTearDown(state, std::move(file));
  }
  Report(state, stats);
}
BENCHMARK(BM_LoadFromMemoryAndWalk)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_LoadFromFileAndWalk(benchmark::State& state) {
  const std::string& path = FilePath();
  corvane::ParamTreeStats stats;
  for (auto _ : state) {
    auto file = std::make_unique<corvane::ParamFile>();
    if (file->LoadBin(path.c_str()) != corvane::kParamLoadOk) state.SkipWithError("load failed");
    stats = WalkAndTearDown(state, std::move(file));
  }
  Report(state, stats);
}
BENCHMARK(BM_LoadFromFileAndWalk)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
