// patchbuild: makes and inspects everything a patcher carries.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "command_registry.h"

int main(int argc, char** argv) {
  CLI::App app{"patchbuild: builds update files, payloads and self-contained patchers"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "patchbuild " CORVANE_VERSION_TEXT);
  bool quiet = false, verbose = false;
  app.add_flag("-q,--quiet", quiet, "say nothing but results and errors (no progress, no summary)");
  app.add_flag("-v,--verbose", verbose, "say more: every update and whole file a make ships")
      ->excludes(app.get_option("--quiet"));
  // The tool's own options may follow the command too: "patchbuild make -q ...".
  app.fallthrough();
  // The one command that runs reports here how it ended.
  patchbuild::CommandOutcome outcome;
  for (const auto& command : patchbuild::RegisteredCommands()) command.adder(app, &outcome);
  // The verbosity is known before any command's callback runs.
  app.parse_complete_callback([&] {
    patchbuild::SetVerbosity(quiet     ? patchbuild::Verbosity::kQuiet
                             : verbose ? patchbuild::Verbosity::kVerbose
                                       : patchbuild::Verbosity::kNormal);
  });
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version answer 0; a command line that does not parse
    // answers 2, so that scripts can tell misuse (2) from a failed command (1).
    return app.exit(e) == 0 ? 0 : 2;
  }
  return patchbuild::ReportOutcome(outcome, stderr);
}
