#include <openssl/evp.h>

#include <algorithm>

#include "platform/content_digest.h"

namespace corvane::platform {

struct ContentDigester::Impl {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  ~Impl() { EVP_MD_CTX_free(context); }
};

ContentDigester::ContentDigester() : impl_(std::make_unique<Impl>()) {}
ContentDigester::~ContentDigester() = default;

bool ContentDigester::Digest(const uint8_t* data, uint64_t size, uint8_t (&digest)[kSha256Size]) {
  EVP_MD_CTX* context = impl_->context;
  if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) return false;
  // Pieces keep each call's length within what any size_t holds.
  constexpr uint64_t kPiece = uint64_t{1} << 30;
  for (uint64_t done = 0; done < size;) {
    const size_t piece = static_cast<size_t>(std::min(kPiece, size - done));
    if (EVP_DigestUpdate(context, data + done, piece) != 1) return false;
    done += piece;
  }
  unsigned int length = 0;
  uint8_t out[EVP_MAX_MD_SIZE];
  if (EVP_DigestFinal_ex(context, out, &length) != 1 || length != kSha256Size) return false;
  std::copy(out, out + kSha256Size, digest);
  return true;
}

}  // namespace corvane::platform
