// patchbuild make PROJECT OUT [--stub PATCHER.exe] [--native] [--native-stub PATCHER] [--key
// KEY.pem] [-j N]
//                [--force] [--exact-updates]
//
// Makes one signed, self-contained patcher from a patch project
// (docs/making-a-patch.md): OUT.exe from the win32 stub and, with --native,
// the native patcher OUT. Progress and the summary go to standard error
// (standard output carries the update engine's own lines, which are of no
// use here and are dropped).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "command_registry.h"
#include "maker/cache_file.h"
#include "maker/html_report.h"
#include "maker/json_reports.h"
#include "maker/patch_maker.h"
#include "platform/host_path.h"
#include "platform/terminal.h"

namespace {

namespace fs = std::filesystem;

struct MakeCommandOptions {
  std::string project, output, stub, key, native;
  bool want_native = false;
  bool force = false;
  bool exact_updates = false;
  bool json = false;
  std::string report;
  int jobs = 0;
};

// The patcher programs beside this tool: in the same folder (an installed
// layout, `cmake --install`: bin/patchbuild, bin/patcher, bin/patcher.exe),
// else in a build tree (build/<dir>/apps/patchbuild next to
// build/<dir>/apps/patcher, and the win32 build beside the native one).
std::string FindBuilt(const char* file_name, bool win32) {
  std::error_code ec;
  const std::string program = corvane::platform::ProgramPath();
  std::vector<fs::path> candidates;
  if (!program.empty()) {
    const fs::path self(program);
    candidates.push_back(self.parent_path() / file_name);
    const fs::path apps = self.parent_path().parent_path();
    candidates.push_back(apps / "patcher" / file_name);
    if (win32) {
      const fs::path build_dir = apps.parent_path();
      const fs::path builds = build_dir.parent_path();
      std::string name = build_dir.filename().string();
      if (name.size() > 7 && name.compare(name.size() - 7, 7, "-native") == 0) {
        candidates.push_back(builds / (name.substr(0, name.size() - 7) + "-win32") / "apps" /
                             "patcher" / file_name);
      }
      candidates.push_back(builds / "win32" / "apps" / "patcher" / file_name);
    }
  }
  for (const fs::path& candidate : candidates) {
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  }
  return std::string();
}

corvane::Result RunMake(const MakeCommandOptions& command) {
  corvane::maker::MakeOptions options;
  options.project = command.project;
  options.output = command.output;
  options.key = command.key;
  options.jobs = command.jobs;
  options.force = command.force;
  options.exact_updates = command.exact_updates;
  // Naming the native patcher asks for it.
  const bool want_native = command.want_native || !command.native.empty();
  options.win32_stub = command.stub.empty() ? FindBuilt("patcher.exe", true) : command.stub;
  if (want_native) {
    options.native_stub = command.native.empty() ? FindBuilt("patcher", false) : command.native;
    if (options.native_stub.empty()) {
      return patchbuild::Failure(
          corvane::ErrorCode::kNotFound,
          "no native patcher found beside patchbuild: give --native-stub PATH");
    }
  }
  if (options.win32_stub.empty() && !want_native) {
    return patchbuild::Failure(
        corvane::ErrorCode::kNotFound,
        "no win32 patcher stub found (build the win32 tree or give --stub PATCHER.exe)");
  }
  if (options.win32_stub.empty()) {
    std::fprintf(
        stderr,
        "patchbuild: warning: no win32 patcher stub found; making the native patcher only\n");
  }
  // Progress goes to standard error: a bar redrawn in place on a terminal,
  // else a plain line at every tenth of the work; none when quiet.
  const patchbuild::Verbosity verbosity = patchbuild::CurrentVerbosity();
  options.terminal = corvane::platform::StandardErrorIsTerminal();
  options.messages = stderr;
  options.show_progress = verbosity != patchbuild::Verbosity::kQuiet;
  // Ctrl-C stops the make cleanly: nothing is left half written.
  corvane::maker::CatchStopSignals();
  corvane::maker::MakeSummary summary;
  if (corvane::Result failed = corvane::maker::MakePatch(options, &summary); !failed.ok()) {
    return failed;
  }
  // A report that cannot be written fails the command once the rest is said.
  corvane::Result reported;
  if (!command.report.empty()) {
    const std::string page = corvane::maker::MakeReportHtml(summary);
    if (corvane::Result written =
            corvane::maker::WriteFileWhole(command.report, page.data(), page.size());
        !written.ok()) {
      reported = written.Within("the patcher is made, but not its report: ");
    }
  }
  if (command.json) {
    const std::string json = corvane::maker::MakeSummaryJson(summary);
    std::fwrite(json.data(), 1, json.size(), stdout);
  }
  if (verbosity == patchbuild::Verbosity::kQuiet) return reported;
  if (verbosity == patchbuild::Verbosity::kVerbose) corvane::maker::PrintMadeFiles(summary, stderr);
  corvane::maker::PrintMakeSummary(summary, stderr);
  return reported;
}

void AddMake(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<MakeCommandOptions>();
  CLI::App* command =
      app.add_subcommand("make", "Make a signed, self-contained patcher from a patch project");
  command->add_option("PROJECT", options->project, "patch project folder (docs/making-a-patch.md)")
      ->required();
  command->add_option("OUT", options->output, "output: OUT.exe (win32) and, with --native, OUT")
      ->required();
  command->add_option("--stub", options->stub,
                      "win32 patcher.exe to copy (default: the one built beside patchbuild)");
  command->add_flag("--native", options->want_native, "also make the native patcher OUT");
  command->add_option(
      "--native-stub", options->native,
      "native patcher to copy (default: the one built beside patchbuild); implies --native");
  command->add_option("--key", options->key,
                      "private key (PEM); default: the project's signing-key.txt");
  command->add_option("-j,--jobs", options->jobs, "update files made at once (default: every core)")
      ->check(patchbuild::WholeNumber(0, 1024));
  command->add_flag("--force", options->force,
                    "make every update file and output again, whatever the cache holds");
  command->add_flag("--exact-updates", options->exact_updates,
                    "make updates with the writer that only looks near the expected old "
                    "position (the layout of earlier makes; larger when content moves)");
  command->add_flag("--json", options->json,
                    "print what was made as JSON on standard output (docs/formats/"
                    "patchbuild-json.md); progress and summary stay on standard error");
  command->add_option("--report", options->report,
                      "also write FILE.html: one self-contained page of where the patch's bytes "
                      "go, per step and file");
  patchbuild::RunsCommand(command, outcome, [options] { return RunMake(*options); });
}

patchbuild::CommandRegistration registration("make", &AddMake);

}  // namespace
