// patchbuild: makes and inspects everything a patcher carries.

#include <CLI/CLI.hpp>

#include "command_registry.h"

int main(int argc, char** argv) {
  CLI::App app{"patchbuild: builds update files, payloads and self-contained patchers"};
  app.require_subcommand(1);
  for (const auto& command : patchbuild::RegisteredCommands()) command.adder(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help answers 0; a command line that does not parse answers 2, so that
    // scripts can tell misuse (2) from a failed command (1).
    return app.exit(e) == 0 ? 0 : 2;
  }
  return patchbuild::ExitCode();
}
