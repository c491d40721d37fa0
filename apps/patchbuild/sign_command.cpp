// patchbuild sign FILE KEY.pem [--payload DIR]: writes FILE.sign, the 128-byte
// signature of FILE (PKCS #1 v1.5, SHA-1, least significant byte first) that
// the patcher checks with the matching public key. With --payload, FILE is a
// manifest in binary form and DIR the folder "patchbuild pack" will pack: the
// manifest's list of payload items (every file of DIR with its size and
// SHA-256) is written into FILE first, so that the signature covers the whole
// payload.

#include <CLI/CLI.hpp>
#include <fstream>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/whole_file.h"
#include "maker/payload_inventory_writer.h"
#include "platform/signing_key.h"

namespace {

using corvane::ReadWholeFile;

struct SignOptions {
  std::string file;
  std::string key;
  std::string payload;
};

corvane::Result RunSign(const SignOptions& options) {
  std::string data;
  std::string pem;
  if (!ReadWholeFile(options.file, &data)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.file.c_str());
  }
  if (!ReadWholeFile(options.key, &pem)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.key.c_str());
  }
  if (!options.payload.empty()) {
    std::vector<corvane::PayloadItemEntry> items;
    std::vector<uint8_t> manifest(data.begin(), data.end());
    corvane::Result listed = corvane::maker::ListPayloadDirectory(options.payload, &items);
    if (listed.ok()) listed = corvane::maker::PutPayloadItems(items, &manifest);
    if (!listed.ok()) {
      return listed.Within(options.file + ": ");
    }
    data.assign(manifest.begin(), manifest.end());
    std::ofstream out(options.file, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (out.fail()) {
      return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s",
                                 options.file.c_str());
    }
  }
  std::vector<uint8_t> signature;
  if (corvane::Result signed_data = corvane::platform::SignBytes(
          pem, reinterpret_cast<const uint8_t*>(data.data()), data.size(), &signature);
      !signed_data.ok()) {
    return signed_data.Within(options.key + ": ");
  }
  const std::string out_path = options.file + ".sign";
  std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(signature.data()),
            static_cast<std::streamsize>(signature.size()));
  out.close();
  if (out.fail()) {
    return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s",
                               out_path.c_str());
  }
  return {};
}

void AddSign(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<SignOptions>();
  CLI::App* command = app.add_subcommand("sign", "Sign a file (writes FILE.sign)");
  command->add_option("FILE", options->file, "file to sign, normally version.cfg")->required();
  command->add_option("KEY", options->key, "private key in PEM form (from keygen)")->required();
  command->add_option(
      "--payload", options->payload,
      "payload folder: list its items with their SHA-256 in the manifest FILE before signing");
  patchbuild::RunsCommand(command, outcome, [options] { return RunSign(*options); });
}

patchbuild::CommandRegistration registration("sign", &AddSign);

}  // namespace
