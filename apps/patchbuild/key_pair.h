#pragma once

#include <string>

#include "base/result.h"

namespace patchbuild {

// Makes a signing key pair: NAME.key.pem (private, PEM, readable by its
// owner only) and NAME.pubkey (the 148-byte public key blob a patcher
// carries). An existing file of either name is kept unless `force`. A
// failure says why the pair was not written.
corvane::Result WriteKeyPair(const std::string& name, bool force);

}  // namespace patchbuild
