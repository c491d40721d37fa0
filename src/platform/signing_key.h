#pragma once

// The patch maker's side of signing: making a key pair and signing a manifest.
// The private key is kept as PEM text; the public key as the 148-byte
// PUBLICKEYBLOB the patcher carries. Signatures are 128 bytes, least
// significant byte first (the order signature.h checks).
//
// posix: OpenSSL. win32: not available; the functions fail (kSystem) with a message.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::platform {

inline constexpr size_t kPublicKeyBlobSize = 148;
inline constexpr size_t kSignatureSize = 128;

// A new 1,024-bit RSA key pair, public exponent 65,537.
Result GenerateSigningKey(std::string* private_pem, std::vector<uint8_t>* public_blob);

// The public key blob of a private key in PEM form.
Result PublicBlobOfKey(const std::string& private_pem, std::vector<uint8_t>* public_blob);

// Signs the bytes with a 1,024-bit private key in PEM form.
Result SignBytes(const std::string& private_pem, const uint8_t* data, size_t size,
                 std::vector<uint8_t>* signature);

}  // namespace corvane::platform
