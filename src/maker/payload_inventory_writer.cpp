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

Result AddItem(const std::string& name, const uint8_t* bytes, size_t size,
               std::vector<PayloadItemEntry>* items) {
  if (IsPayloadManifestName(name.c_str())) return Result();
  PayloadItemEntry item;
  item.name = name;
  item.size = static_cast<uint32_t>(size);
  item.sha256 = Sha256Hex(bytes, size);
  if (item.sha256.empty()) {
    return Result::Failure(ErrorCode::kInvalidInput, "cannot compute the SHA-256 of " + name);
  }
  items->push_back(std::move(item));
  return Result();
}

}  // namespace

Result PutPayloadItems(const std::vector<PayloadItemEntry>& items, std::vector<uint8_t>* manifest) {
  ParamFile file;
  if (!LoadManifest(&file, manifest->data(), manifest->size())) {
    return Result::Failure(ErrorCode::kInvalidInput, "the manifest does not load");
  }
  WritePayloadItems(&file, items);
  QOStrStream out;
  if (!file.SaveBin(out)) {
    return Result::Failure(ErrorCode::kInvalidInput, "the manifest cannot be saved");
  }
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(out.str());
  manifest->assign(bytes, bytes + static_cast<size_t>(out.GetLength()));
  return Result();
}

Result ListPayloadItems(PayloadItems* payload, std::vector<PayloadItemEntry>* items) {
  if (!payload->Load()) {
    return Result::Failure(ErrorCode::kInvalidInput, payload->error());
  }
  items->clear();
  for (const pe::ResourceItem& resource : payload->Resources()) {
    if (Result added =
            AddItem(StoredName(resource.name.name), resource.bytes, resource.size, items);
        !added.ok())
      return added;
  }
  return Result();
}

Result ListPayloadDirectory(const std::string& directory, std::vector<PayloadItemEntry>* items) {
  std::error_code failure;
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(directory, failure);
       !failure && it != fs::recursive_directory_iterator(); it.increment(failure)) {
    if (it->is_regular_file(failure)) files.push_back(it->path());
  }
  if (failure) {
    return Result::Failure(ErrorCode::kReadFailed,
                           "cannot list " + directory + ": " + failure.message());
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
      return Result::Failure(ErrorCode::kReadFailed, "cannot read " + file.string());
    }
    if (Result added =
            AddItem(StoredName(text::Utf8ToUtf16(relative)), bytes.data(), bytes.size(), items);
        !added.ok())
      return added;
  }
  return Result();
}

}  // namespace corvane::maker
