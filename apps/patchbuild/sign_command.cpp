// patchbuild sign FILE KEY.pem: writes FILE.sign, the 128-byte signature of
// FILE (PKCS #1 v1.5, SHA-1, least significant byte first) that the patcher
// checks with the matching public key.

#include <CLI/CLI.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/whole_file.h"
#include "platform/signing_key.h"

namespace {

using corvane::ReadWholeFile;

struct SignOptions {
  std::string file;
  std::string key;
};

void RunSign(const SignOptions& options) {
  std::string data;
  std::string pem;
  if (!ReadWholeFile(options.file, &data)) {
    patchbuild::Fail("cannot read %s", options.file.c_str());
    return;
  }
  if (!ReadWholeFile(options.key, &pem)) {
    patchbuild::Fail("cannot read %s", options.key.c_str());
    return;
  }
  std::vector<uint8_t> signature;
  std::string error;
  if (!corvane::platform::SignBytes(pem, reinterpret_cast<const uint8_t*>(data.data()), data.size(), &signature,
                                    &error)) {
    patchbuild::Fail("%s: %s", options.key.c_str(), error.c_str());
    return;
  }
  const std::string out_path = options.file + ".sign";
  std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(signature.data()), static_cast<std::streamsize>(signature.size()));
  out.close();
  if (out.fail()) patchbuild::Fail("cannot write %s", out_path.c_str());
}

void AddSign(CLI::App& app) {
  auto options = std::make_shared<SignOptions>();
  CLI::App* command = app.add_subcommand("sign", "Sign a file (writes FILE.sign)");
  command->add_option("FILE", options->file, "file to sign, normally version.cfg")->required();
  command->add_option("KEY", options->key, "private key in PEM form (from keygen)")->required();
  command->callback([options] { RunSign(*options); });
}

patchbuild::CommandRegistration registration("sign", &AddSign);

}  // namespace
