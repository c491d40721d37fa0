#pragma once

#include <string>

namespace patchbuild {

// Makes a signing key pair: NAME.key.pem (private, PEM, readable by its
// owner only) and NAME.pubkey (the 148-byte public key blob a patcher
// carries). An existing file of either name is kept unless `force`. False,
// after Fail() has said why, when the pair was not written.
bool WriteKeyPair(const std::string& name, bool force);

}  // namespace patchbuild
