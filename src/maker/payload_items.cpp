#include "maker/payload_items.h"

#include "maker/content_hash.h"
#include "maker/patch_maker.h"
#include "maker/patch_project.h"
#include "maker/update_jobs.h"
#include "pe/code_page_1252.h"
#include "platform/file_system.h"
#include "foundation/whole_file.h"

namespace corvane::maker {

bool HashFileIdentity(const std::string& path, ContentHash* hash) {
  int64_t time = 0;
  uint64_t size = 0;
  if (!platform::FileModificationTime(path.c_str(), &time) || !platform::FileSizeOf(path.c_str(), &size)) {
    return false;
  }
  hash->UpdateField(path);
  hash->UpdateNumber(size);
  hash->UpdateNumber(static_cast<uint64_t>(time));
  return true;
}

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
  if (!items_.emplace(UpperAscii(name), std::move(item)).second) {
    error_ = "two payload items have the name " + name;
    return false;
  }
  total_bytes_ += size;
  return true;
}

bool PayloadItems::AddBytes(const std::string& name, const std::string& installed, std::vector<uint8_t> bytes) {
  Item item;
  item.size = bytes.size();
  item.bytes = std::move(bytes);
  return Add(name, installed, std::move(item));
}

bool PayloadItems::AddFile(const std::string& name, const std::string& installed, const std::string& path,
                           uint64_t size) {
  Item item;
  item.file = path;
  item.size = size;
  return Add(name, installed, std::move(item));
}

bool PayloadItems::Fingerprint(ContentHash* hash) {
  hash->UpdateNumber(items_.size());
  for (const auto& [upper, item] : items_) {
    hash->UpdateField(item.name);
    if (item.file.empty()) {
      hash->UpdateNumber(item.bytes.size());
      hash->Update(item.bytes.data(), item.bytes.size());
      continue;
    }
    if (!HashFileIdentity(item.file, hash)) {
      error_ = "cannot read " + item.file;
      return false;
    }
  }
  return true;
}

bool PayloadItems::Load() {
  for (auto& [upper, item] : items_) {
    if (item.file.empty()) continue;
    if (!ReadWholeFile(item.file, &item.bytes) || item.bytes.size() != item.size) {
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
    resources.push_back(pe::PayloadItem(pe::Cp1252ToUtf16(item.name), item.bytes.data(),
                                        static_cast<uint32_t>(item.bytes.size())));
  }
  return resources;
}

}  // namespace corvane::maker
