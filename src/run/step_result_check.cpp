#include "run/step_result_check.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "engine/checksum_list.h"
#include "engine/crc32.h"
#include "platform/file_io.h"
#include "platform/resource_module.h"
#include "run/patch_context.h"
#include "run/payload_store.h"

namespace corvane {

namespace {

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return upper;
}

// The last list read: its bytes and what they say, by upper-case name.
struct ParsedList {
  const platform::ResourceModule* module = nullptr;
  std::string list_name;
  std::string text;
  std::map<std::string, std::vector<uint32_t>> lines;
};

ParsedList& LastList() {
  static ParsedList list;
  return list;
}

// The parsed list `list_name` of `module`; null when the payload has none.
const ParsedList* LoadList(const platform::ResourceModule& module, const std::string& list_name) {
  uint32_t size = 0;
  const uint8_t* bytes = FindPayload(list_name.c_str(), module, &size);
  if (bytes == nullptr || size == 0) return nullptr;
  ParsedList& list = LastList();
  // Compared byte for byte: another module may come to lie at the same address.
  if (list.module == &module && list.list_name == list_name && list.text.size() == size &&
      std::memcmp(list.text.data(), bytes, size) == 0) {
    return &list;
  }
  list.module = &module;
  list.list_name = list_name;
  list.text.assign(reinterpret_cast<const char*>(bytes), size);
  list.lines.clear();
  ChecksumListReader reader(list.text.data(), list.text.size());
  ChecksumLine line;
  while (reader.Next(&line)) {
    std::vector<uint32_t>& values = list.lines[UpperAscii(line.name)];
    values.insert(values.end(), line.values.begin(), line.values.end());
  }
  return &list;
}

// The name a whole-file payload name lands at, when it carries one of the
// pass prefixes; "" otherwise.
std::string WholeFileTarget(const std::string& upper_name, const std::string& installed_prefix) {
  for (const std::string& prefix : {std::string("ALL\\"), std::string("ADD\\"), installed_prefix}) {
    if (prefix.empty() || upper_name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = upper_name.substr(prefix.size());
    const size_t dot = rest.rfind('.');
    if (dot != std::string::npos && dot + 1 < rest.size() && rest[dot + 1] == '#') rest.resize(dot);
    return rest;
  }
  return std::string();
}

}  // namespace

bool ListedCrcs::Matches(uint32_t crc) const {
  for (uint32_t value : values) {
    if (value == crc) return true;
  }
  return false;
}

ListedCrcs FindListedCrcs(const platform::ResourceModule& module, int major, int minor,
                          const std::string& name, bool variants_too) {
  ListedCrcs result;
  char list_name[64];
  std::snprintf(list_name, sizeof(list_name), "crc\\%d.%02d\\crc.crc", major, minor);
  const ParsedList* list = LoadList(module, list_name);
  if (list == nullptr) return result;
  result.list_found = true;

  std::string key = UpperAscii(name);
  auto exact = list->lines.find(key);
  if (exact != list->lines.end()) {
    result.listed = true;
    result.values = exact->second;
    return result;
  }
  if (!variants_too) return result;
  const std::string variant_prefix = key + ".#";
  for (auto it = list->lines.lower_bound(variant_prefix);
       it != list->lines.end() && it->first.compare(0, variant_prefix.size(), variant_prefix) == 0;
       ++it) {
    result.listed = true;
    result.values.insert(result.values.end(), it->second.begin(), it->second.end());
  }
  return result;
}

bool FileCrc(const char* path, uint32_t* crc, const std::function<void()>& progress) {
  platform::ScopedFile file(platform::FileOpenRead(path));
  if (!file.IsValid()) return false;
  uint64_t size = 0;
  if (!platform::FileSize64(file.Get(), &size)) return false;
  std::vector<uint8_t> buffer(kCrcPieceSize);
  uint32_t state = kCrc32Initial;
  for (uint64_t offset = 0; offset < size;) {
    uint32_t want =
        size - offset < kCrcPieceSize ? static_cast<uint32_t>(size - offset) : kCrcPieceSize;
    int64_t got = platform::FileReadAt(file.Get(), offset, buffer.data(), want);
    if (got != static_cast<int64_t>(want)) return false;
    state = Crc32Update(state, buffer.data(), want);
    offset += want;
    if (progress) progress();
  }
  *crc = Crc32Final(state);
  return true;
}

bool BroughtWholeLater(PatchContext* context, const std::string& name) {
  if (!context->later_whole_files_known && context->module != nullptr) {
    char installed_prefix[32];
    std::snprintf(installed_prefix, sizeof installed_prefix, "%d.%02d\\", context->installed_major,
                  context->installed_minor);
    const std::string prefix = UpperAscii(installed_prefix);
    context->module->EnumerateRawDataNames([&](const char* stored) {
      if (IsNumberedResourceName(stored)) return true;
      std::string target = WholeFileTarget(UpperAscii(stored), prefix);
      if (!target.empty()) context->later_whole_files.insert(target);
      return true;
    });
    context->later_whole_files_known = true;
  }
  return context->later_whole_files.count(UpperAscii(name)) != 0;
}

}  // namespace corvane
