#pragma once

namespace CLI {
class App;
}

namespace patchbuild {

// The "param" subcommand group (configuration files), created on first use.
// Files that add more param subcommands register their own command and call
// this from their adder, in any order:
//   CLI::App* param = ParamCommandGroup(app);
//   param->add_subcommand("compile", "...");
CLI::App* ParamCommandGroup(CLI::App& app);

}  // namespace patchbuild
