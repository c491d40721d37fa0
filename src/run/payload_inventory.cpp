#include "run/payload_inventory.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "param/entry_handle.h"
#include "param/param_array.h"
#include "param/param_class.h"
#include "param/param_entry.h"
#include "platform/content_digest.h"
#include "platform/parallel_work.h"
#include "platform/resource_module.h"

namespace corvane {

namespace {

std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string Hex(const uint8_t (&digest)[platform::kSha256Size]) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

bool IsSha256Hex(const std::string& text) {
  if (text.size() != 2 * platform::kSha256Size) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A size in plain decimal digits that fits 32 bits.
bool ParseSize(const std::string& text, uint32_t* size) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFu) return false;
  *size = static_cast<uint32_t>(value);
  return true;
}

struct Listed {
  uint32_t size = 0;
  std::string sha256;
  std::string name;
  bool seen = false;
};

// The class's items by upper-case name; false when it is not a sound list.
bool ReadItems(const ParamEntry& items_class, std::map<std::string, Listed>* items) {
  if (!items_class.IsClass()) return false;
  EntryHandle array = items_class.FindEntry(kPayloadItemsArray);
  if (!array || !array->IsArray()) return false;
  const int count = array->GetSize();
  if (count % 3 != 0) return false;
  for (int i = 0; i < count; i += 3) {
    const IParamArrayValue& name = array->GetItem(i);
    const IParamArrayValue& size = array->GetItem(i + 1);
    const IParamArrayValue& digest = array->GetItem(i + 2);
    if (!name.IsTextValue() || !size.IsTextValue() || !digest.IsTextValue()) return false;
    Listed listed;
    listed.name = name.GetRawText().Data();
    listed.sha256 = digest.GetRawText().Data();
    if (listed.name.empty() || IsPayloadManifestName(listed.name.c_str()) ||
        !ParseSize(size.GetRawText().Data(), &listed.size) || !IsSha256Hex(listed.sha256)) {
      return false;
    }
    if (!items->emplace(UpperAscii(listed.name), listed).second) return false;  // listed twice
  }
  return true;
}

}  // namespace

bool IsPayloadManifestName(const char* name) {
  const std::string upper = UpperAscii(name);
  return upper == "VERSION.CFG" || upper == "VERSION.CFG.SIGN";
}

std::string Sha256Hex(const uint8_t* data, uint64_t size) {
  platform::ContentDigester digester;
  uint8_t digest[platform::kSha256Size];
  if (!digester.Digest(data, size, digest)) return std::string();
  return Hex(digest);
}

void WritePayloadItems(ParamEntry* manifest, const std::vector<PayloadItemEntry>& items) {
  manifest->Delete(kPayloadItemsClass);
  ParamClass* cls = manifest->AddClass(kPayloadItemsClass);
  ParamEntry* array = cls->AddArray(kPayloadItemsArray);
  for (const PayloadItemEntry& item : items) {
    array->AddItemText(item.name.c_str());
    array->AddItemText(std::to_string(item.size).c_str());
    array->AddItemText(item.sha256.c_str());
  }
}

PayloadItemsCheck PreparePayloadItemsCheck(const ParamEntry& manifest,
                                           const platform::ResourceModule& module,
                                           PayloadItemsDigests* digests) {
  digests->items.clear();
  PayloadItemsCheck check;
  EntryHandle items_class = manifest.FindEntry(kPayloadItemsClass);
  if (!items_class) return check;
  std::map<std::string, Listed> listed;
  if (!ReadItems(*items_class, &listed)) {
    check.status = PayloadItemsStatus::kMalformed;
    return check;
  }
  check.status = PayloadItemsStatus::kMatches;
  module.EnumerateRawDataNames([&](const char* name) {
    if (IsPayloadManifestName(name)) return true;
    auto it = listed.find(UpperAscii(name));
    uint32_t size = 0;
    const uint8_t* bytes = module.FindRawData(name, &size);
    if (it == listed.end() || it->second.seen || bytes == nullptr) {
      check.status = PayloadItemsStatus::kExtraItem;
    } else if (size != it->second.size) {
      check.status = PayloadItemsStatus::kSizeDiffers;
    } else {
      it->second.seen = true;
      digests->items.push_back({name, bytes, size, it->second.sha256});
      return true;
    }
    check.item = name;
    return false;
  });
  if (check.status != PayloadItemsStatus::kMatches) return check;
  for (const auto& [upper, item] : listed) {
    if (!item.seen) {
      check.status = PayloadItemsStatus::kMissingItem;
      check.item = item.name;
      break;
    }
  }
  return check;
}

PayloadItemsCheck DigestPayloadItems(const PayloadItemsDigests& digests,
                                     const std::atomic<bool>* stop, unsigned threads) {
  const std::vector<PayloadItemsDigests::Item>& work = digests.items;
  // The first item (in the payload's order) whose digest fails is the one
  // reported, however the threads met them.
  constexpr size_t kNone = SIZE_MAX;
  std::atomic<size_t> first_failed{kNone};
  std::vector<PayloadItemsStatus> failures(work.size(), PayloadItemsStatus::kMatches);
  if (threads == 0) threads = platform::ProcessorCount();
  std::vector<platform::ContentDigester> digesters(threads);
  platform::RunInParallel(work.size(), threads, [&](size_t i, unsigned slot) {
    if (i > first_failed.load()) return;  // a failure before it decides already
    uint8_t digest[platform::kSha256Size];
    // A stop request fails the item as a digest that could not be made would.
    const bool stopped = stop != nullptr && stop->load();
    if (stopped || !digesters[slot].Digest(work[i].bytes, work[i].size, digest)) {
      failures[i] = PayloadItemsStatus::kDigestFailed;
    } else if (Hex(digest) != work[i].sha256) {
      failures[i] = PayloadItemsStatus::kDigestDiffers;
    } else {
      return;
    }
    for (size_t seen = first_failed.load();
         i < seen && !first_failed.compare_exchange_weak(seen, i);) {
    }
  });
  PayloadItemsCheck check;
  check.status = PayloadItemsStatus::kMatches;
  if (first_failed.load() != kNone) {
    check.status = failures[first_failed.load()];
    check.item = work[first_failed.load()].name;
  }
  return check;
}

PayloadItemsCheck CheckPayloadItems(const ParamEntry& manifest,
                                    const platform::ResourceModule& module) {
  PayloadItemsDigests digests;
  PayloadItemsCheck check = PreparePayloadItemsCheck(manifest, module, &digests);
  if (check.status != PayloadItemsStatus::kMatches) return check;
  return DigestPayloadItems(digests);
}

const char* DescribePayloadItemsStatus(PayloadItemsStatus status) {
  switch (status) {
    case PayloadItemsStatus::kAbsent:
      return "the manifest lists no payload items";
    case PayloadItemsStatus::kMatches:
      return "the payload holds exactly the listed items";
    case PayloadItemsStatus::kMalformed:
      return "the list of payload items is malformed";
    case PayloadItemsStatus::kMissingItem:
      return "a listed item is missing from the payload";
    case PayloadItemsStatus::kExtraItem:
      return "the payload holds an item that is not listed";
    case PayloadItemsStatus::kSizeDiffers:
      return "an item's size differs from the listed one";
    case PayloadItemsStatus::kDigestDiffers:
      return "an item's SHA-256 differs from the listed one";
    case PayloadItemsStatus::kDigestFailed:
      return "SHA-256 could not be computed";
  }
  return "unknown";
}

}  // namespace corvane
