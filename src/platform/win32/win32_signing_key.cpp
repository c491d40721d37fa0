#include <windows.h>

#include "platform/signing_key.h"

namespace corvane::platform {
namespace {

constexpr const char* kUnavailable =
    "key generation and signing are done by the native build of patchbuild";

}  // namespace

bool GenerateSigningKey(std::string*, std::vector<uint8_t>*, std::string* error) {
  *error = kUnavailable;
  return false;
}

bool PublicBlobOfKey(const std::string&, std::vector<uint8_t>*, std::string* error) {
  *error = kUnavailable;
  return false;
}

bool SignBytes(const std::string&, const uint8_t*, size_t, std::vector<uint8_t>*,
               std::string* error) {
  *error = kUnavailable;
  return false;
}

}  // namespace corvane::platform
