#pragma once

// Checks a detached RSA signature over a block of bytes with a public key in the
// 148-byte PUBLICKEYBLOB layout (1,024-bit key, numbers least significant byte
// first). The signature is the PKCS #1 v1.5 SHA-1 signature stored least
// significant byte first.
//
// win32: CryptoAPI (default RSA full provider, verify context). posix: OpenSSL,
// with the whole decrypted block compared to the expected encoding.

#include <cstdint>

namespace corvane::platform {

struct SignatureCheck {
  const uint8_t* key_blob = nullptr;
  uint32_t key_length = 0;
  const uint8_t* signature = nullptr;
  uint32_t signature_length = 0;
};

enum SignatureResult {
  kSignatureValid = 0,
  kSignatureNoContext = 3,   // no cryptographic provider context
  kSignatureBadKey = 4,      // the key blob could not be imported
  kSignatureNoHash = 5,      // no SHA-1 hash object
  kSignatureHashFailed = 6,  // hashing the bytes failed
  kSignatureMismatch = 7,    // the signature does not match the bytes
};

// Result 0 or 3 to 7. *last_error (when given) receives the system's error code
// of the failing step (GetLastError on win32; 0 on posix).
int VerifySignature(const uint8_t* data, uint32_t size, const SignatureCheck& check,
                    uint32_t* last_error = nullptr);

}  // namespace corvane::platform
