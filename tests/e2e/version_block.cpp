#include "version_block.h"

#include "pe/pe_format.h"
#include "pe/resource_writer.h"

namespace corvane::e2e {
namespace {

class NodeWriter {
 public:
  // Starts a node; answers its offset so End can fill in its length.
  size_t Begin(const std::u16string& key, uint16_t value_length, uint16_t type) {
    Align();
    size_t start = bytes.size();
    Put16(0);
    Put16(value_length);
    Put16(type);
    for (char16_t c : key) Put16(c);
    Put16(0);
    Align();
    return start;
  }
  void End(size_t start) {
    uint16_t length = static_cast<uint16_t>(bytes.size() - start);
    bytes[start] = static_cast<uint8_t>(length);
    bytes[start + 1] = static_cast<uint8_t>(length >> 8);
  }
  void Put16(uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
  }
  void Put32(uint32_t value) {
    Put16(value & 0xFFFF);
    Put16(value >> 16);
  }
  void Align() {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
  }
  std::vector<uint8_t> bytes;
};

std::u16string Widen(const std::string& text) {
  std::u16string out;
  for (unsigned char c : text) out += static_cast<char16_t>(c);
  return out;
}

}  // namespace

std::vector<uint8_t> BuildVersionBlock(const std::string& file_version,
                                       const std::string& table_key) {
  NodeWriter w;
  size_t root = w.Begin(u"VS_VERSION_INFO", 52, 0);
  w.Put32(0xFEEF04BD);  // VS_FIXEDFILEINFO signature
  w.Put32(0x00010000);  // structure version
  for (int i = 0; i < 11; ++i) w.Put32(0);
  size_t string_info = w.Begin(u"StringFileInfo", 0, 1);
  size_t table = w.Begin(Widen(table_key), 0, 1);
  std::u16string value = Widen(file_version);
  size_t string = w.Begin(u"FileVersion", static_cast<uint16_t>(value.size() + 1), 1);
  for (char16_t c : value) w.Put16(c);
  w.Put16(0);
  w.End(string);
  w.End(table);
  w.End(string_info);
  w.End(root);
  return w.bytes;
}

std::vector<uint8_t> BuildGameExecutable(const std::string& file_version,
                                         const std::string& table_key, const std::string& filler) {
  std::vector<uint8_t> block = BuildVersionBlock(file_version, table_key);
  std::vector<pe::ResourceItem> items;
  pe::ResourceItem version;
  version.type = pe::ResourceName::Id(pe::kRtVersion);
  version.name = pe::ResourceName::Id(1);
  version.language = 0x0409;
  version.bytes = block.data();
  version.size = static_cast<uint32_t>(block.size());
  items.push_back(version);
  // Some bytes that differ between builds of the "game", so that its updates
  // have something to change besides the version text.
  if (!filler.empty()) {
    items.push_back(pe::PayloadItem(u"GAMEDATA", reinterpret_cast<const uint8_t*>(filler.data()),
                                    static_cast<uint32_t>(filler.size())));
  }
  std::vector<uint8_t> image;
  if (!pe::WriteResourceDll(items, &image).ok()) return {};
  return image;
}

}  // namespace corvane::e2e
