#include "run/manifest_signature.h"

#include "platform/signature.h"

namespace corvane {

int VerifyManifestSignature(const uint8_t* manifest, uint32_t manifest_length,
                            const ManifestSignatureRecord& record, uint32_t* last_error) {
  platform::SignatureCheck check;
  check.key_blob = record.key_blob;
  check.key_length = record.key_length;
  check.signature = record.signature;
  check.signature_length = record.signature_length;
  uint32_t error = 0;
  // A null manifest pointer with a zero length is a valid empty manifest.
  static const uint8_t kNothing = 0;
  int result = platform::VerifySignature(manifest != nullptr ? manifest : &kNothing,
                                         manifest_length, check, &error);
  if (last_error != nullptr) *last_error = result == 0 ? 0 : error;
  return result;
}

}  // namespace corvane
