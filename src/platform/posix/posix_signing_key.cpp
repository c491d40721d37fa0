#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>

#include "platform/posix/rsa_key_blob.h"
#include "platform/signing_key.h"

namespace corvane::platform {
namespace {

struct BioDeleter {
  void operator()(BIO* bio) const { BIO_free(bio); }
};

Pkey ReadPrivateKey(const std::string& pem, Result* result) {
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
  if (key == nullptr) {
    *result = Result::Failure(ErrorCode::kInvalidInput, "not a PEM private key");
    return nullptr;
  }
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_get_bits(key) != 1024) {
    EVP_PKEY_free(key);
    *result = Result::Failure(ErrorCode::kInvalidInput, "the key is not a 1024-bit RSA key");
    return nullptr;
  }
  return Pkey(key);
}

Result BlobOf(EVP_PKEY* key, std::vector<uint8_t>* blob) {
  RsaPublicKey numbers;
  if (!PublicNumbersOf(key, &numbers)) {
    return Result::Failure(ErrorCode::kSystem, "cannot read the key's public numbers");
  }
  // Left-pad the modulus to the full 128 bytes.
  numbers.modulus.insert(numbers.modulus.begin(),
                         128 - std::min<size_t>(128, numbers.modulus.size()), 0);
  *blob = EncodePublicKeyBlob(numbers);
  if (blob->size() != kPublicKeyBlobSize) {
    return Result::Failure(ErrorCode::kSystem, "the key's public numbers do not fit a key blob");
  }
  return Result();
}

}  // namespace

Result GenerateSigningKey(std::string* private_pem, std::vector<uint8_t>* public_blob) {
  Pkey key(EVP_RSA_gen(1024));
  if (key == nullptr) return Result::Failure(ErrorCode::kSystem, "key generation failed");
  std::unique_ptr<BIO, BioDeleter> bio(BIO_new(BIO_s_mem()));
  if (bio == nullptr ||
      PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return Result::Failure(ErrorCode::kSystem, "cannot write the private key");
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  private_pem->assign(data, static_cast<size_t>(length));
  return BlobOf(key.get(), public_blob);
}

Result PublicBlobOfKey(const std::string& private_pem, std::vector<uint8_t>* public_blob) {
  Result result;
  Pkey key = ReadPrivateKey(private_pem, &result);
  return key != nullptr ? BlobOf(key.get(), public_blob) : result;
}

Result SignBytes(const std::string& private_pem, const uint8_t* data, size_t size,
                 std::vector<uint8_t>* signature) {
  Result result;
  Pkey key = ReadPrivateKey(private_pem, &result);
  if (key == nullptr) return result;
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  size_t length = 0;
  bool ok = md != nullptr && EVP_DigestSignInit(md, nullptr, EVP_sha1(), nullptr, key.get()) == 1 &&
            EVP_DigestSign(md, nullptr, &length, data, size) == 1;
  if (ok) {
    signature->resize(length);
    ok =
        EVP_DigestSign(md, signature->data(), &length, data, size) == 1 && length == kSignatureSize;
  }
  EVP_MD_CTX_free(md);
  if (!ok) return Result::Failure(ErrorCode::kSystem, "signing failed");
  // The patcher takes the signature least significant byte first.
  std::reverse(signature->begin(), signature->end());
  return Result();
}

}  // namespace corvane::platform
