// patchbuild param dump FILE: the tree of a binary configuration file in the
//   text form, as the writer prints it from level 0 with line feeds.
// patchbuild param info FILE: the format version and what the tree holds.
//
// A file that does not load completely is an error (exit code 1); the
// reasons the loader gave are printed on standard error.

#include "param_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "param/param_tree_stats.h"
#include "stream/qi_f_stream.h"
#include "stream/qo_stream.h"

namespace patchbuild {

CLI::App* ParamCommandGroup(CLI::App& app) {
  std::vector<CLI::App*> existing =
      app.get_subcommands([](CLI::App* sub) { return sub->get_name() == "param"; });
  if (!existing.empty()) return existing.front();
  CLI::App* param = app.add_subcommand("param", "Inspect and convert configuration files");
  param->require_subcommand(1);
  return param;
}

}  // namespace patchbuild

namespace {

const char* LoadErrorText(int code) {
  switch (code) {
    case 1:
      return "not a binary configuration file (bad signature)";
    case 3:
      return "unsupported binary configuration version";
    case 4:
      return "damaged file (bad structure or cut short)";
    case corvane::kParamLoadNoFile:
      return "no such file";
    default:
      return "read error";
  }
}

// Loads `name`; on failure prints what the loader reported and says why it
// failed.
corvane::Result Load(corvane::ParamFile& file, const std::string& name) {
  corvane::ScopedReportCapture capture;
  int code = file.LoadBin(name.c_str());
  if (code == corvane::kParamLoadOk) return {};
  for (const auto& report : capture.Reports()) {
    if (report.slot == corvane::ReportSlot::kLog) continue;
    std::fprintf(stderr, "patchbuild: %s\n", report.text.c_str());
  }
  return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "cannot load %s: %s", name.c_str(),
                             LoadErrorText(code));
}

// The version word of the header (the one after a zero word), or -1.
int PeekVersion(const std::string& name) {
  corvane::QIFStream in;
  in.open(name.c_str());
  unsigned char header[12] = {};
  if (in.fail() || in.read(header, sizeof header) < 8) return -1;
  auto word = [&](int at) {
    return static_cast<int>(static_cast<uint32_t>(header[at]) | header[at + 1] << 8 |
                            header[at + 2] << 16 | static_cast<uint32_t>(header[at + 3]) << 24);
  };
  int version = word(4);
  return version != 0 ? version : word(8);
}

corvane::Result RunDump(const std::string& name) {
  corvane::ParamFile file;
  if (corvane::Result loaded = Load(file, name); !loaded.ok()) return loaded;
  corvane::QOStrStream out;
  file.SaveText(out, 0, "\n");
  if (out.GetLength() > 0) std::fwrite(out.str(), 1, static_cast<size_t>(out.GetLength()), stdout);
  return {};
}

corvane::Result RunInfo(const std::string& name) {
  corvane::ParamFile file;
  if (corvane::Result loaded = Load(file, name); !loaded.ok()) return loaded;
  corvane::ParamTreeStats stats = corvane::CollectParamTreeStats(file);
  std::printf("version: %d\n", PeekVersion(name));
  std::printf("classes: %lld\n", static_cast<long long>(stats.classes));
  std::printf("classes with a base: %lld\n", static_cast<long long>(stats.classes_with_base));
  std::printf("declared classes: %lld\n", static_cast<long long>(stats.declarations));
  std::printf("deletion markers: %lld\n", static_cast<long long>(stats.deletions));
  const int64_t values =
      stats.text_values + stats.float_values + stats.int_values + stats.expressions;
  std::printf("values: %lld (text %lld, float %lld, integer %lld, expression %lld)\n",
              static_cast<long long>(values), static_cast<long long>(stats.text_values),
              static_cast<long long>(stats.float_values), static_cast<long long>(stats.int_values),
              static_cast<long long>(stats.expressions));
  std::printf("arrays: %lld (%lld items)\n", static_cast<long long>(stats.arrays),
              static_cast<long long>(stats.array_items));
  std::printf("deepest class nesting: %d\n", stats.max_depth);
  std::printf("memory: %llu bytes\n", static_cast<unsigned long long>(stats.memory));
  return {};
}

void AddParam(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  CLI::App* param = patchbuild::ParamCommandGroup(app);

  auto dump_file = std::make_shared<std::string>();
  CLI::App* dump = param->add_subcommand("dump", "Print a binary configuration file as text");
  dump->add_option("FILE", *dump_file, "binary configuration file")->required();
  patchbuild::RunsCommand(dump, outcome, [dump_file] { return RunDump(*dump_file); });

  auto info_file = std::make_shared<std::string>();
  CLI::App* info =
      param->add_subcommand("info", "Show the version and contents of a binary configuration file");
  info->add_option("FILE", *info_file, "binary configuration file")->required();
  patchbuild::RunsCommand(info, outcome, [info_file] { return RunInfo(*info_file); });
}

patchbuild::CommandRegistration registration("param", &AddParam);

}  // namespace
