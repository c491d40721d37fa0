#pragma once

// The manifest class "PayloadItems": the list of every payload item with its
// size and SHA-256, written by the patch maker before it signs the manifest.
// The signature covers only "version.cfg"; with this class in it, it covers
// every byte of the payload. docs/formats/payload.md describes the class.
//
//   class PayloadItems {
//     items[] = {"ALL\\README.TXT", "1234", "<64 hex digits>", ...};
//   };
//
// Three texts per item: the payload name as stored (upper case), the size in
// decimal, the SHA-256 in lower-case hex. Every named raw-data resource of the
// payload except "version.cfg" and "version.cfg.sign" is an item. A patcher
// that does not know the class never reads it (its reads are by key name).

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

class ParamEntry;

namespace platform {
class ResourceModule;
}

inline constexpr const char kPayloadItemsClass[] = "PayloadItems";
inline constexpr const char kPayloadItemsArray[] = "items";

struct PayloadItemEntry {
  std::string name;  // as stored: ASCII letters upper case
  uint32_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};

// True for the two resources the list never holds: the manifest itself and
// its signature (ASCII case ignored).
bool IsPayloadManifestName(const char* name);

// Lower-case hex SHA-256 of a block; empty when the system could not hash.
std::string Sha256Hex(const uint8_t* data, uint64_t size);

// Adds the class to `manifest` (a file's root class), replacing one already
// there. Items are written in the order given.
void WritePayloadItems(ParamEntry* manifest, const std::vector<PayloadItemEntry>& items);

enum class PayloadItemsStatus {
  kAbsent,       // no class: a manifest from before the list existed
  kMatches,      // the payload holds exactly the listed items
  kMalformed,    // the class is there but is not a list of sound items
  kMissingItem,  // a listed item is not in the payload
  kExtraItem,    // the payload holds an item the list does not name
  kSizeDiffers,
  kDigestDiffers,
  kDigestFailed,  // the system could not compute a digest
};

struct PayloadItemsCheck {
  PayloadItemsStatus status = PayloadItemsStatus::kAbsent;
  std::string item;  // the item concerned, when there is one
};

// Checks the payload of `module` against the class of `manifest`: names
// compared without regard to ASCII case, every item hashed once, the items
// spread over the processors. Reads nothing outside the module's resources.
// The same as PreparePayloadItemsCheck, then DigestPayloadItems.
PayloadItemsCheck CheckPayloadItems(const ParamEntry& manifest,
                                    const platform::ResourceModule& module);

// The check in two parts, so that the costly one can run beside other work:
// the first reads the manifest and the payload's names and sizes (and so
// must not run beside other users of them); the second only hashes bytes
// and compares, and touches neither the manifest nor the module.
struct PayloadItemsDigests {
  struct Item {
    std::string name;  // as stored
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    std::string sha256;  // as listed
  };
  std::vector<Item> items;
};
// The outcome as far as names and sizes tell (kMatches when the digests are
// all that remain to be checked, in `digests`).
PayloadItemsCheck PreparePayloadItemsCheck(const ParamEntry& manifest,
                                           const platform::ResourceModule& module,
                                           PayloadItemsDigests* digests);
// kMatches, or the first item in the payload's order whose digest differs or
// could not be made. With `stop` set (from another thread), it ends early
// with kDigestFailed. On `threads` threads (0: one per processor).
PayloadItemsCheck DigestPayloadItems(const PayloadItemsDigests& digests,
                                     const std::atomic<bool>* stop = nullptr, unsigned threads = 0);

// A short English text for a status, for logs.
const char* DescribePayloadItemsStatus(PayloadItemsStatus status);

}  // namespace corvane
