#include "platform/posix/rsa_key_blob.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/param_build.h>

#include <algorithm>
#include <cstring>

namespace corvane::platform {
namespace {

uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct BnDeleter {
  void operator()(BIGNUM* n) const { BN_free(n); }
};
using Bn = std::unique_ptr<BIGNUM, BnDeleter>;

}  // namespace

bool ParsePublicKeyBlob(const uint8_t* blob, size_t length, RsaPublicKey* key) {
  if (blob == nullptr || length < 20) return false;
  if (blob[0] != 6 || blob[1] != 2) return false;
  const uint32_t algorithm = U32(blob + 4);
  if (algorithm != 0x2400 && algorithm != 0xA400) return false;
  if (std::memcmp(blob + 8, "RSA1", 4) != 0) return false;
  const uint32_t bits = U32(blob + 12);
  if (bits == 0 || bits % 8 != 0 || bits > 16384) return false;
  const size_t bytes = bits / 8;
  if (length < 20 + bytes) return false;
  key->exponent = U32(blob + 16);
  if (key->exponent == 0) return false;
  key->modulus.assign(blob + 20, blob + 20 + bytes);
  std::reverse(key->modulus.begin(), key->modulus.end());
  return true;
}

std::vector<uint8_t> EncodePublicKeyBlob(const RsaPublicKey& key) {
  std::vector<uint8_t> blob = {6, 2, 0, 0};
  PutU32(blob, 0x2400);
  blob.insert(blob.end(), {'R', 'S', 'A', '1'});
  PutU32(blob, static_cast<uint32_t>(key.modulus.size() * 8));
  PutU32(blob, key.exponent);
  blob.insert(blob.end(), key.modulus.rbegin(), key.modulus.rend());
  return blob;
}

Pkey MakePublicKey(const RsaPublicKey& key) {
  Bn n(BN_bin2bn(key.modulus.data(), static_cast<int>(key.modulus.size()), nullptr));
  Bn e(BN_new());
  if (n == nullptr || e == nullptr || BN_set_word(e.get(), key.exponent) != 1 ||
      BN_is_zero(n.get())) {
    return nullptr;
  }
  OSSL_PARAM_BLD* builder = OSSL_PARAM_BLD_new();
  if (builder == nullptr) return nullptr;
  OSSL_PARAM* params = nullptr;
  if (OSSL_PARAM_BLD_push_BN(builder, OSSL_PKEY_PARAM_RSA_N, n.get()) == 1 &&
      OSSL_PARAM_BLD_push_BN(builder, OSSL_PKEY_PARAM_RSA_E, e.get()) == 1) {
    params = OSSL_PARAM_BLD_to_param(builder);
  }
  OSSL_PARAM_BLD_free(builder);
  if (params == nullptr) return nullptr;
  EVP_PKEY* result = nullptr;
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  if (ctx == nullptr || EVP_PKEY_fromdata_init(ctx) != 1 ||
      EVP_PKEY_fromdata(ctx, &result, EVP_PKEY_PUBLIC_KEY, params) != 1) {
    result = nullptr;
  }
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_free(params);
  return Pkey(result);
}

bool PublicNumbersOf(EVP_PKEY* key, RsaPublicKey* out) {
  BIGNUM* n = nullptr;
  BIGNUM* e = nullptr;
  if (key == nullptr || EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) != 1 ||
      EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &e) != 1) {
    BN_free(n);
    BN_free(e);
    return false;
  }
  Bn modulus(n), exponent(e);
  if (BN_num_bits(exponent.get()) > 32) return false;
  out->modulus.resize(static_cast<size_t>(BN_num_bytes(modulus.get())));
  BN_bn2bin(modulus.get(), out->modulus.data());
  out->exponent = static_cast<uint32_t>(BN_get_word(exponent.get()));
  return true;
}

}  // namespace corvane::platform
