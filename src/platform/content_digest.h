#pragma once

// SHA-256 of blocks of bytes, for checking that a payload holds exactly what
// its signed manifest lists.
//
// win32: CryptoAPI, the AES provider (PROV_RSA_AES, the one that knows
// CALG_SHA_256) in a verify context, acquired once per digester.
// posix: OpenSSL libcrypto (EVP, SHA-256).

#include <cstddef>
#include <cstdint>
#include <memory>

namespace corvane::platform {

inline constexpr size_t kSha256Size = 32;

class ContentDigester {
 public:
  ContentDigester();
  ~ContentDigester();
  ContentDigester(const ContentDigester&) = delete;
  ContentDigester& operator=(const ContentDigester&) = delete;

  // The SHA-256 of `size` bytes at `data` into `digest`. False when the
  // system's provider could not be had or failed (digest not written).
  bool Digest(const uint8_t* data, uint64_t size, uint8_t (&digest)[kSha256Size]);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::platform
