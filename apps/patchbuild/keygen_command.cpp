// patchbuild keygen NAME: a signing key pair, NAME.key.pem (private, PEM,
// readable by its owner only) and NAME.pubkey (the 148-byte public key blob a
// patcher carries). An existing pair is kept unless --force is given.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "command_registry.h"
#include "key_pair.h"

namespace {

struct KeygenOptions {
  std::string name;
  bool force = false;
};

corvane::Result RunKeygen(const KeygenOptions& options) {
  return patchbuild::WriteKeyPair(options.name, options.force);
}

void AddKeygen(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<KeygenOptions>();
  CLI::App* command = app.add_subcommand("keygen", "Make a 1024-bit RSA signing key pair");
  command->add_option("NAME", options->name, "writes NAME.key.pem and NAME.pubkey")->required();
  command->add_flag("--force", options->force, "replace an existing key pair of that name");
  patchbuild::RunsCommand(command, outcome, [options] { return RunKeygen(*options); });
}

patchbuild::CommandRegistration registration("keygen", &AddKeygen);

}  // namespace
