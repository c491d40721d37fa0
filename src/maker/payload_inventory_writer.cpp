#include "maker/payload_inventory_writer.h"

#include <algorithm>
#include <filesystem>

#include "foundation/whole_file.h"
#include "maker/payload_items.h"
#include "param/param_file.h"
#include "run/patch_manifest.h"
#include "stream/qo_stream.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace {

namespace fs = std::filesystem;

// The name as the resource directory stores it (the writer upper-cases it).
std::string StoredName(const std::u16string& name) {
  return text::Utf16ToCp1252(text::NameUpper(name));
}

bool AddItem(const std::string& name, const uint8_t* bytes, size_t size,
             std::vector<PayloadItemEntry>* items, std::string* error) {
  if (IsPayloadManifestName(name.c_str())) return true;
  PayloadItemEntry item;
  item.name = name;
  item.size = static_cast<uint32_t>(size);
  item.sha256 = Sha256Hex(bytes, size);
  if (item.sha256.empty()) {
    *error = "cannot compute the SHA-256 of " + name;
    return false;
  }
  items->push_back(std::move(item));
  return true;
}

}  // namespace

bool PutPayloadItems(const std::vector<PayloadItemEntry>& items, std::vector<uint8_t>* manifest,
                     std::string* error) {
  ParamFile file;
  if (!LoadManifest(&file, manifest->data(), manifest->size())) {
    *error = "the manifest does not load";
    return false;
  }
  WritePayloadItems(&file, items);
  QOStrStream out;
  if (!file.SaveBin(out)) {
    *error = "the manifest cannot be saved";
    return false;
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(out.str());
  manifest->assign(bytes, bytes + static_cast<size_t>(out.GetLength()));
  return true;
}

bool ListPayloadItems(PayloadItems* payload, std::vector<PayloadItemEntry>* items,
                      std::string* error) {
  if (!payload->Load()) {
    *error = payload->error();
    return false;
  }
  items->clear();
  for (const pe::ResourceItem& resource : payload->Resources()) {
    if (!AddItem(StoredName(resource.name.name), resource.bytes, resource.size, items, error))
      return false;
  }
  return true;
}

bool ListPayloadDirectory(const std::string& directory, std::vector<PayloadItemEntry>* items,
                          std::string* error) {
  std::error_code failure;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(directory, failure);
       !failure && it != fs::recursive_directory_iterator(); it.increment(failure)) {
    if (it->is_regular_file(failure)) files.push_back(it->path());
  }
  if (failure) {
    *error = "cannot list " + directory + ": " + failure.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  items->clear();
  for (const fs::path& file : files) {
    std::string relative;
    for (const fs::path& part : fs::relative(file, directory)) {
      if (!relative.empty()) relative += '\\';
      const std::u8string utf8 = part.u8string();
      relative.append(utf8.begin(), utf8.end());
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file.string(), &bytes) || bytes.size() > 0x7FFFFFFF) {
      *error = "cannot read " + file.string();
      return false;
    }
    if (!AddItem(StoredName(text::Utf8ToUtf16(relative)), bytes.data(), bytes.size(), items, error))
      return false;
  }
  return true;
}

}  // namespace corvane::maker
