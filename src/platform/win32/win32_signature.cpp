#include <windows.h>
#include <wincrypt.h>

#include "platform/signature.h"

namespace corvane::platform {
namespace {

bool AcquireVerifyContext(HCRYPTPROV* provider) {
  if (CryptAcquireContextA(provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    return true;
  if (GetLastError() != static_cast<DWORD>(NTE_BAD_KEYSET)) return false;
  return CryptAcquireContextA(provider, nullptr, nullptr, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET) != FALSE;
}

}  // namespace

int VerifySignature(const uint8_t* data, uint32_t size, const SignatureCheck& check,
                    uint32_t* last_error) {
  int result = kSignatureValid;
  HCRYPTPROV provider = 0;
  HCRYPTKEY key = 0;
  HCRYPTHASH hash = 0;
  if (!AcquireVerifyContext(&provider)) {
    result = kSignatureNoContext;
  } else if (!CryptImportKey(provider, check.key_blob, check.key_length, 0, 0, &key)) {
    result = kSignatureBadKey;
  } else if (!CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
    result = kSignatureNoHash;
  } else if (!CryptHashData(hash, data, size, 0)) {
    result = kSignatureHashFailed;
  } else if (!CryptVerifySignatureA(hash, check.signature, check.signature_length, key, nullptr,
                                    0)) {
    result = kSignatureMismatch;
  }
  // Read before the releases below can change it.
  const DWORD error = result == kSignatureValid ? 0 : GetLastError();
  if (hash != 0) CryptDestroyHash(hash);
  if (key != 0) CryptDestroyKey(key);
  if (provider != 0) CryptReleaseContext(provider, 0);
  if (last_error != nullptr) *last_error = error;
  return result;
}

}  // namespace corvane::platform
