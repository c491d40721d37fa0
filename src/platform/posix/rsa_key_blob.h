#pragma once

// The PUBLICKEYBLOB layout and OpenSSL keys made from it (posix backend only).
//
//   offset size field
//   0      1    blob type 6 (public key)
//   1      1    version 2
//   2      2    reserved 0
//   4      4    algorithm 0x2400 (RSA signature) or 0xA400 (RSA key exchange)
//   8      4    "RSA1"
//   12     4    modulus length in bits
//   16     4    public exponent
//   20     n/8  modulus, least significant byte first

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvane::platform {

struct RsaPublicKey {
  std::vector<uint8_t> modulus;  // most significant byte first
  uint32_t exponent = 0;
};

struct PkeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyDeleter>;

// False when the blob is not a well-formed RSA public key blob.
bool ParsePublicKeyBlob(const uint8_t* blob, size_t length, RsaPublicKey* key);
std::vector<uint8_t> EncodePublicKeyBlob(const RsaPublicKey& key);
// Null when OpenSSL refuses the numbers.
Pkey MakePublicKey(const RsaPublicKey& key);
// The public numbers of any RSA key; false when it is not one.
bool PublicNumbersOf(EVP_PKEY* key, RsaPublicKey* out);

}  // namespace corvane::platform
