// patchbuild check PATCH GAMEDIR
//
// Tells, without changing anything, which version GAMEDIR holds (by the
// game executable's FileVersion and by the patch's checksum lists), whether
// its files match, and which steps and files the patch would apply. Exit
// code 0 when the patch would apply (or the game is already at its version),
// 1 otherwise.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <string>

#include "command_registry.h"
#include "maker/install_check.h"
#include "maker/json_reports.h"
#include "run/payload_names.h"

namespace {

struct CheckOptions {
  std::string patch, game;
  bool json = false;
};

patchbuild::CommandOutcome RunCheck(const CheckOptions& options) {
  corvane::maker::PatcherPayload payload;
  if (corvane::Result failed = corvane::maker::ReadPatcherPayload(options.patch, &payload);
      !failed.ok()) {
    return failed;
  }
  // A name the patcher would refuse makes the whole patch one it refuses.
  for (const std::string& name : payload.names) {
    const corvane::PayloadNameFault fault = corvane::CheckPayloadName(name.c_str());
    if (fault != corvane::PayloadNameFault::kNone) {
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "%s: the payload name %s is refused: %s", options.patch.c_str(),
                                 name.c_str(), corvane::DescribePayloadNameFault(fault));
    }
  }
  corvane::maker::CheckReport report;
  if (corvane::Result failed = corvane::maker::CheckInstallation(payload, options.game, &report);
      !failed.ok()) {
    return failed;
  }
  if (options.json) {
    const std::string json = corvane::maker::CheckReportJson(report);
    std::fwrite(json.data(), 1, json.size(), stdout);
  } else if (patchbuild::CurrentVerbosity() != patchbuild::Verbosity::kQuiet) {
    corvane::maker::PrintCheckReport(report, stdout);
  }
  // Neither patchable nor up to date is a verdict, not a failure: no message.
  return patchbuild::CommandOutcome::Verdict(!report.patchable && !report.up_to_date ? 1 : 0);
}

void AddCheck(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command =
      app.add_subcommand("check", "Tell what a patcher would do to a game directory");
  command->add_option("PATCH", options->patch, "patcher (win32 or native) or payload DLL")
      ->required();
  command->add_option("GAMEDIR", options->game, "installed game directory")->required();
  command->add_flag("--json", options->json,
                    "print the findings as JSON (docs/formats/patchbuild-json.md)");
  patchbuild::RunsCommand(command, outcome, [options] { return RunCheck(*options); });
}

patchbuild::CommandRegistration registration("check", &AddCheck);

}  // namespace
