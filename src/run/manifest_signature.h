#pragma once

#include <cstdint>

namespace corvane {

// The four fields the driver hands to the check, in this order.
struct ManifestSignatureRecord {
  const uint8_t* key_blob = nullptr;  // 148-byte PUBLICKEYBLOB
  uint32_t key_length = 0;
  const uint8_t* signature = nullptr;  // "version.cfg.sign", as stored
  uint32_t signature_length = 0;       // passed on unchanged, whatever it is
};

// Size of the public key blob every patcher carries.
inline constexpr uint32_t kManifestKeyLength = 148;

// Checks the detached signature over every byte of the manifest. 0 when
// valid; otherwise 3 no provider context, 4 key not imported, 5 no SHA-1
// hash, 6 hashing failed, 7 mismatch. *last_error receives the system's
// error code of the failing step (0 where the platform has none).
int VerifyManifestSignature(const uint8_t* manifest, uint32_t manifest_length,
                            const ManifestSignatureRecord& record, uint32_t* last_error);

}  // namespace corvane
