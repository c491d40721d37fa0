#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/posix/rsa_key_blob.h"
#include "platform/signature.h"

namespace corvane::platform {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
using PkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

// DER prefix of the SHA-1 DigestInfo of an EMSA-PKCS1-v1_5 encoding.
constexpr uint8_t kSha1DigestInfo[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                       0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

}  // namespace

int VerifySignature(const uint8_t* data, uint32_t size, const SignatureCheck& check,
                    uint32_t* last_error) {
  if (last_error != nullptr) *last_error = 0;
  RsaPublicKey key;
  if (!ParsePublicKeyBlob(check.key_blob, check.key_length, &key)) return kSignatureBadKey;
  Pkey pkey = MakePublicKey(key);
  if (pkey == nullptr) return kSignatureBadKey;

  MdCtx md(EVP_MD_CTX_new());
  if (md == nullptr || EVP_DigestInit_ex(md.get(), EVP_sha1(), nullptr) != 1)
    return kSignatureNoHash;
  uint8_t digest[20];
  unsigned digest_length = 0;
  if ((size != 0 && data == nullptr) || EVP_DigestUpdate(md.get(), data, size) != 1 ||
      EVP_DigestFinal_ex(md.get(), digest, &digest_length) != 1 || digest_length != sizeof digest) {
    return kSignatureHashFailed;
  }

  // The signature must be exactly the modulus length, as the verifier takes it.
  const size_t k = key.modulus.size();
  if (check.signature == nullptr || check.signature_length != k) return kSignatureMismatch;
  std::vector<uint8_t> signature(check.signature, check.signature + k);
  std::reverse(signature.begin(), signature.end());

  PkeyCtx ctx(EVP_PKEY_CTX_new(pkey.get(), nullptr));
  if (ctx == nullptr || EVP_PKEY_verify_recover_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_NO_PADDING) != 1) {
    return kSignatureMismatch;
  }
  std::vector<uint8_t> block(k);
  size_t block_length = block.size();
  if (EVP_PKEY_verify_recover(ctx.get(), block.data(), &block_length, signature.data(), k) != 1 ||
      block_length != k) {
    return kSignatureMismatch;
  }
  // The whole encoded block is compared: 00 01 FF..FF 00 DigestInfo digest.
  const size_t tail = sizeof kSha1DigestInfo + sizeof digest;
  if (k < tail + 11) return kSignatureMismatch;
  std::vector<uint8_t> expected(k, 0xFF);
  expected[0] = 0x00;
  expected[1] = 0x01;
  expected[k - tail - 1] = 0x00;
  std::memcpy(expected.data() + k - tail, kSha1DigestInfo, sizeof kSha1DigestInfo);
  std::memcpy(expected.data() + k - sizeof digest, digest, sizeof digest);
  return CRYPTO_memcmp(block.data(), expected.data(), k) == 0 ? kSignatureValid
                                                              : kSignatureMismatch;
}

}  // namespace corvane::platform
