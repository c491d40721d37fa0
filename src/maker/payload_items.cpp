#include "maker/payload_items.h"

#include "foundation/whole_file.h"
#include "maker/content_hash.h"
#include "maker/patch_maker.h"
#include "maker/patch_project.h"
#include "maker/update_jobs.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

bool PayloadItems::Add(const std::string& name, const std::string& installed, Item item) {
  if (!installed.empty()) {
    const std::string why = CheckPayloadLimits(name, installed);
    if (!why.empty()) {
      error_ = why;
      return false;
    }
  }
  item.name = name;
  const uint64_t size = item.size;
  if (!items_.emplace(FoldName(name), std::move(item)).second) {
    error_ = "two payload items have the name " + name;
    return false;
  }
  total_bytes_ += size;
  return true;
}

bool PayloadItems::AddBytes(const std::string& name, const std::string& installed,
                            std::vector<uint8_t> bytes) {
  Item item;
  item.size = bytes.size();
  item.bytes = std::move(bytes);
  return Add(name, installed, std::move(item));
}

bool PayloadItems::AddFile(const std::string& name, const std::string& installed,
                           const std::string& path, const FileDigest& content) {
  Item item;
  item.file = path;
  item.size = content.size;
  item.content = content;
  return Add(name, installed, std::move(item));
}

void PayloadItems::Fingerprint(ContentHash* hash) const {
  hash->UpdateNumber(items_.size());
  for (const auto& [upper, item] : items_) {
    hash->UpdateField(item.name);
    if (item.file.empty()) {
      hash->UpdateNumber(item.bytes.size());
      hash->Update(item.bytes.data(), item.bytes.size());
      continue;
    }
    hash->UpdateNumber(item.content.size);
    hash->UpdateNumber(item.content.crc);
    hash->UpdateNumber(item.content.hash);
  }
}

bool PayloadItems::Load() {
  for (auto& [upper, item] : items_) {
    if (item.file.empty()) continue;
    // What is packed must be what was digested (and, for an update, proven).
    ContentHash hash;
    if (ReadWholeFile(item.file, &item.bytes)) hash.Update(item.bytes.data(), item.bytes.size());
    if (item.bytes.size() != item.size || hash.Value() != item.content.hash) {
      error_ = "cannot read " + item.file + " (or it changed during the make)";
      return false;
    }
  }
  return true;
}

std::vector<pe::ResourceItem> PayloadItems::Resources() const {
  std::vector<pe::ResourceItem> resources;
  resources.reserve(items_.size());
  for (const auto& [upper, item] : items_) {
    resources.push_back(pe::PayloadItem(text::Cp1252ToUtf16(item.name), item.bytes.data(),
                                        static_cast<uint32_t>(item.bytes.size())));
  }
  return resources;
}

}  // namespace corvane::maker
