#include "key_pair.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "command_registry.h"
#include "platform/signing_key.h"

namespace patchbuild {

namespace {

bool WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return !out.fail();
}

}  // namespace

corvane::Result WriteKeyPair(const std::string& name, bool force) {
  std::string pem;
  std::vector<uint8_t> blob;
  if (corvane::Result generated = corvane::platform::GenerateSigningKey(&pem, &blob);
      !generated.ok()) {
    return generated;
  }
  const std::string private_path = name + ".key.pem";
  const std::string public_path = name + ".pubkey";
  // A private key overwritten is every patch signed with it orphaned.
  std::error_code exists_error;
  for (const std::string& path : {private_path, public_path}) {
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(path, exists_error))) {
      return Failure(
          corvane::ErrorCode::kInvalidInput,
          "%s exists; give --force to replace the key pair (patchers carrying the old public key "
          "then accept nothing signed with the new one)",
          path.c_str());
    }
  }
  // Create it empty and owner-only before the key goes in (a link at the
  // name is replaced, never written through).
  std::filesystem::remove(private_path, exists_error);
  if (!WriteFile(private_path, "", 0)) {
    return Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s", private_path.c_str());
  }
  std::error_code ignored;
  std::filesystem::permissions(
      private_path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      ignored);
  if (!WriteFile(private_path, pem.data(), pem.size())) {
    return Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s", private_path.c_str());
  }
  if (!WriteFile(public_path, blob.data(), blob.size())) {
    return Failure(corvane::ErrorCode::kWriteFailed, "cannot write %s", public_path.c_str());
  }
  return {};
}

}  // namespace patchbuild
