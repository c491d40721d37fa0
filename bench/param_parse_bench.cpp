// Parsing speed of the configuration text form on a generated 20 MB file of
// nested classes with bases, values of every kind and arrays (target: at
// least 40 MB/s). Run: build/<dir>/bench/param_parse_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"

namespace {

// Entry names come from a fixed vocabulary, as in hand-written
// configurations where the same keys recur in every class; class names and
// most texts are unique.
const char* const kNames[] = {"scope",
                              "model",
                              "displayName",
                              "icon",
                              "mass",
                              "armor",
                              "speed",
                              "weapons",
                              "magazines",
                              "sounds",
                              "picture",
                              "vehicleClass",
                              "side",
                              "faction",
                              "crew",
                              "cost",
                              "threat",
                              "camouflage",
                              "accuracy",
                              "animated",
                              "hiddenSelections",
                              "textures",
                              "init",
                              "maxSpeed",
                              "fuelCapacity",
                              "transportSoldier",
                              "author",
                              "access"};
constexpr int kNameCount = sizeof(kNames) / sizeof(kNames[0]) - 1;  // "access" is never generated

void AppendClass(std::string& out, std::mt19937& rng, int depth, int& counter) {
  std::string indent(static_cast<size_t>(depth), '\t');
  char line[256];
  int entries = 6 + static_cast<int>(rng() % 10);
  int first = static_cast<int>(rng() % kNameCount);
  for (int i = 0; i < entries; ++i) {
    const char* name = kNames[(first + i) % kNameCount];  // unique within the class
    int id = counter++;
    switch (rng() % 7) {
      case 0:
        std::snprintf(line, sizeof line, "%s%s=%d;\n", indent.c_str(), name,
                      static_cast<int>(rng() % 100000));
        break;
      case 1:
        std::snprintf(line, sizeof line, "%s%s=%d.%03d;\n", indent.c_str(), name,
                      static_cast<int>(rng() % 1000), static_cast<int>(rng() % 1000));
        break;
      case 2:
        std::snprintf(line, sizeof line, "%s%s=\"%d: some descriptive text\";\n", indent.c_str(),
                      name, id);
        break;
      case 3:
        std::snprintf(line, sizeof line, "%s%s[]={%d,%d,%d,\"item\",{1,2}};\n", indent.c_str(),
                      name, id % 100, id % 7, 3);
        break;
      case 4:
        std::snprintf(line, sizeof line, "%s%s=\\data\\models\\object_%d.p3d;\n", indent.c_str(),
                      name, id % 500);
        break;
      case 5:
        std::snprintf(line, sizeof line, "%s%s=@\"%d * 2 + 1\";\n", indent.c_str(), name, id % 50);
        break;
      default:
        if (depth < 4) {
          std::snprintf(line, sizeof line, "%sclass Class%d\n%s{\n", indent.c_str(), id,
                        indent.c_str());
          out += line;
          AppendClass(out, rng, depth + 1, counter);
          out += indent + "};\n";
        }
        continue;
    }
    out += line;
  }
}

const std::string& Config() {
  static const std::string text = [] {
    std::string out;
    out.reserve(21 << 20);
    std::mt19937 rng(42);
    int counter = 0;
    while (out.size() < (20u << 20)) {
      char head[64];
      std::snprintf(head, sizeof head, "class Top%d\n{\n", counter++);
      out += head;
      AppendClass(out, rng, 1, counter);
      out += "};\n";
    }
    return out;
  }();
  return text;
}

void BM_ParseTextConfig(benchmark::State& state) {
  const std::string& text = Config();
  corvane::ScopedReportCapture quiet;
  for (auto _ : state) {
    auto* file = new corvane::ParamFile;
    int code = corvane::ParamParseText(*file, text.data(), text.size(), "bench.cpp");
    if (code != 0) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(file->GetEntryCount());
    // Tearing the tree down is not parsing.
    state.PauseTiming();
    delete file;
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / (1 << 20);
}
BENCHMARK(BM_ParseTextConfig)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
