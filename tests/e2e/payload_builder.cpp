#include "payload_builder.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/crc32.h"
#include "engine/writer/create_patch.h"
#include "pe/native_trailer.h"
#include "pe/pe_format.h"
#include "pe/resource_writer.h"
#include "platform/signing_key.h"
#include "run/payload_inventory.h"
#include "stream/qo_stream.h"
#include "text/code_page_1252.h"

#ifndef CORVANE_SOURCE_DIR
#error "the e2e support needs CORVANE_SOURCE_DIR"
#endif

namespace corvane::e2e {

uint32_t FileCrc(const Bytes& bytes) { return Crc32(bytes.data(), bytes.size()); }

bool LoadTestPrivateKey(std::string* pem) {
  Bytes bytes;
  if (!ReadFileBytes(std::string(CORVANE_SOURCE_DIR) + "/tests/keys/test.key.pem", &bytes))
    return false;
  pem->assign(bytes.begin(), bytes.end());
  return true;
}

bool LoadTestPublicKey(Bytes* blob) {
  return ReadFileBytes(std::string(CORVANE_SOURCE_DIR) + "/tests/keys/test.pubkey", blob) &&
         blob->size() == platform::kPublicKeyBlobSize;
}

PayloadBuilder::PayloadBuilder(std::string work_dir) : work_dir_(std::move(work_dir)) {
  std::error_code ignored;
  std::filesystem::create_directories(work_dir_, ignored);
}

void PayloadBuilder::SetHeader(const std::string& config_app, const std::string& app_name,
                               const std::string& version, bool is_patch,
                               const std::string& display_name) {
  manifest_.AddText("configApp", config_app.c_str());
  manifest_.AddText("displayName", display_name.c_str());
  manifest_.AddText("appName", app_name.c_str());
  manifest_.AddText("version", version.c_str());
  manifest_.AddInt("isPatch", is_patch ? 1 : 0);
}

bool PayloadBuilder::AddUpdate(const std::string& from, const std::string& to,
                               const std::string& relative, const Bytes& old_bytes,
                               const Bytes& new_bytes) {
  std::string base = work_dir_ + "/update" + std::to_string(scratch_counter_++);
  std::string old_path = base + ".old";
  std::string new_path = base + ".new";
  std::string update_path = base + ".upd";
  if (!WriteFileBytes(old_path, old_bytes) || !WriteFileBytes(new_path, new_bytes)) return false;
  std::remove(update_path.c_str());
  std::unique_ptr<IPatchAction> create(NewCreatePatch());
  PatchResult result =
      create->Process(old_path.c_str(), new_path.c_str(), update_path.c_str(), true);
  create.reset();
  Bytes update;
  if (result != 1 || !ReadFileBytes(update_path, &update)) return false;
  Add(from + "-" + to + "\\" + relative + ".upd", update);
  return true;
}

void PayloadBuilder::AddChecksumList(const std::string& version,
                                     const std::map<std::string, Bytes>& files,
                                     const std::vector<std::string>& optional) {
  std::string text;
  for (const auto& [name, bytes] : files) {
    bool is_optional = false;
    for (const std::string& o : optional) is_optional = is_optional || o == name;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", FileCrc(bytes));
    text += (is_optional ? "+" : "") + name + " " + crc + "\r\n";
  }
  Add("crc\\" + version + "\\crc.crc", ToBytes(text));
}

bool PayloadBuilder::Seal() {
  std::string pem;
  return LoadTestPrivateKey(&pem) && SealWith(pem);
}

bool PayloadBuilder::SealWith(const std::string& pem) {
  QOStrStream out;
  if (!manifest_.SaveBin(out)) return false;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(out.str());
  Bytes bytes(data, data + out.GetLength());
  std::vector<uint8_t> signature;
  if (!platform::SignBytes(pem, bytes.data(), bytes.size(), &signature).ok()) return false;
  Add("version.cfg", bytes);
  Add("version.cfg.sign", signature);
  return true;
}

bool PayloadBuilder::SealListingItems() {
  std::vector<PayloadItemEntry> items;
  for (const auto& [name, bytes] : resources_) {
    if (IsPayloadManifestName(name.c_str())) continue;
    std::string stored = name;
    for (char& c : stored) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    items.push_back(
        {stored, static_cast<uint32_t>(bytes.size()), Sha256Hex(bytes.data(), bytes.size())});
  }
  WritePayloadItems(&manifest_, items);
  return Seal();
}

Bytes PayloadBuilder::Image() const {
  std::vector<pe::ResourceItem> items;
  for (const auto& [name, bytes] : resources_) {
    items.push_back(pe::PayloadItem(text::Cp1252ToUtf16(name), bytes.data(),
                                    static_cast<uint32_t>(bytes.size())));
  }
  if (!public_key_.empty()) {
    pe::ResourceItem key;
    key.type = pe::ResourceName::Id(pe::kRtRcData);
    key.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
    key.bytes = public_key_.data();
    key.size = static_cast<uint32_t>(public_key_.size());
    items.push_back(key);
  }
  Bytes image;
  if (!pe::WriteResourceDll(items, &image).ok()) return {};
  return image;
}

bool PayloadBuilder::WriteTree(const std::string& dir) const {
  for (const auto& [name, bytes] : resources_) {
    std::string path = dir + "/";
    for (char c : name) path += c == '\\' ? '/' : c;
    if (!WriteFileBytes(path, bytes)) return false;
  }
  return true;
}

bool PayloadBuilder::WriteDll(const std::string& path) const {
  Bytes image = Image();
  return !image.empty() && WriteFileBytes(path, image);
}

bool PayloadBuilder::WriteSelfContained(const std::string& patcher, const std::string& path) const {
  Bytes program;
  Bytes image = Image();
  if (image.empty() || !ReadFileBytes(patcher, &program)) return false;
  Bytes joined =
      pe::AppendNativePayload(program.data(), program.size(), image.data(), image.size());
  if (!WriteFileBytes(path, joined)) return false;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add);
  return true;
}

}  // namespace corvane::e2e
