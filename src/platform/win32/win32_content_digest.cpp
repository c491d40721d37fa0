#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

#include "platform/content_digest.h"

namespace corvane::platform {

namespace {
// CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | ALG_SID_SHA_256). The headers
// define it only for Windows versions above the one this build targets;
// every system with the AES provider knows it.
constexpr ALG_ID kSha256Algorithm = 0x0000800C;
}  // namespace

struct ContentDigester::Impl {
  HCRYPTPROV provider = 0;
  bool tried = false;
  ~Impl() {
    if (provider != 0) CryptReleaseContext(provider, 0);
  }
};

ContentDigester::ContentDigester() : impl_(std::make_unique<Impl>()) {}
ContentDigester::~ContentDigester() = default;

bool ContentDigester::Digest(const uint8_t* data, uint64_t size, uint8_t (&digest)[kSha256Size]) {
  if (!impl_->tried) {
    impl_->tried = true;
    if (!CryptAcquireContextA(&impl_->provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT)) {
      impl_->provider = 0;
    }
  }
  if (impl_->provider == 0) return false;
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(impl_->provider, kSha256Algorithm, 0, 0, &hash)) return false;
  bool ok = true;
  // CryptHashData takes a 32-bit length.
  constexpr uint64_t kPiece = uint64_t{1} << 24;
  for (uint64_t done = 0; ok && done < size;) {
    const DWORD piece = static_cast<DWORD>(std::min(kPiece, size - done));
    ok = CryptHashData(hash, data + done, piece, 0) != FALSE;
    done += piece;
  }
  BYTE out[kSha256Size];
  DWORD length = sizeof out;
  ok = ok && CryptGetHashParam(hash, HP_HASHVAL, out, &length, 0) && length == kSha256Size;
  CryptDestroyHash(hash);
  if (ok) std::copy(out, out + kSha256Size, digest);
  return ok;
}

}  // namespace corvane::platform
