// patchbuild keygen NAME: a signing key pair, NAME.key.pem (private, PEM,
// readable by its owner only) and NAME.pubkey (the 148-byte public key blob a
// patcher carries). An existing pair is kept unless --force is given.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_registry.h"
#include "platform/signing_key.h"

namespace {

struct KeygenOptions {
  std::string name;
  bool force = false;
};

bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return !out.fail();
}

void RunKeygen(const KeygenOptions& options) {
  std::string pem;
  std::vector<uint8_t> blob;
  std::string error;
  if (!corvane::platform::GenerateSigningKey(&pem, &blob, &error)) {
    patchbuild::Fail("%s", error.c_str());
    return;
  }
  const std::string private_path = options.name + ".key.pem";
  const std::string public_path = options.name + ".pubkey";
  // A private key overwritten is every patch signed with it orphaned.
  std::error_code exists_error;
  for (const std::string& path : {private_path, public_path}) {
    if (!options.force &&
        std::filesystem::exists(std::filesystem::symlink_status(path, exists_error))) {
      patchbuild::Fail(
          "%s exists; give --force to replace the key pair (patchers carrying the old public key "
          "then accept nothing signed with the new one)",
          path.c_str());
      return;
    }
  }
  // Create it empty and owner-only before the key goes in (a link at the
  // name is replaced, never written through).
  std::filesystem::remove(private_path, exists_error);
  if (!WriteFile(private_path, "", 0)) {
    patchbuild::Fail("cannot write %s", private_path.c_str());
    return;
  }
  std::error_code ignored;
  std::filesystem::permissions(
      private_path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      ignored);
  if (!WriteFile(private_path, pem.data(), pem.size())) {
    patchbuild::Fail("cannot write %s", private_path.c_str());
    return;
  }
  if (!WriteFile(public_path, blob.data(), blob.size())) {
    patchbuild::Fail("cannot write %s", public_path.c_str());
  }
}

void AddKeygen(CLI::App& app) {
  auto options = std::make_shared<KeygenOptions>();
  CLI::App* command = app.add_subcommand("keygen", "Make a 1024-bit RSA signing key pair");
  command->add_option("NAME", options->name, "writes NAME.key.pem and NAME.pubkey")->required();
  command->add_flag("--force", options->force, "replace an existing key pair of that name");
  command->callback([options] { RunKeygen(*options); });
}

patchbuild::CommandRegistration registration("keygen", &AddKeygen);

}  // namespace
