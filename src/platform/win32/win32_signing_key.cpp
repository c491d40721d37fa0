#include <windows.h>

#include "platform/signing_key.h"

namespace corvane::platform {
namespace {

Result Unavailable() {
  return Result::Failure(ErrorCode::kSystem,
                         "key generation and signing are done by the native build of patchbuild");
}

}  // namespace

Result GenerateSigningKey(std::string*, std::vector<uint8_t>*) { return Unavailable(); }

Result PublicBlobOfKey(const std::string&, std::vector<uint8_t>*) { return Unavailable(); }

Result SignBytes(const std::string&, const uint8_t*, size_t, std::vector<uint8_t>*) {
  return Unavailable();
}

}  // namespace corvane::platform
