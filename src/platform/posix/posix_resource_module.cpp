#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "pe/native_trailer.h"
#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/string_table.h"
#include "platform/host_path.h"
#include "platform/resource_module.h"
#include "text/code_page_1252.h"

namespace corvane::platform {

struct ResourceModule::Impl {
  void* map = nullptr;
  size_t map_size = 0;
  pe::PeImage image;
  pe::ResourceTree tree;
  // The payload by upper-case name, and its names in directory order.
  std::map<std::u16string, const pe::ResourceEntry*> by_name;
  std::vector<std::string> names;

  ~Impl() {
    if (map != nullptr) munmap(map, map_size);
  }

  // Maps the whole file; the image is the bytes [offset, offset + size) of it
  // (the whole file unless a trailer says otherwise).
  bool Map(const std::string& path, bool self) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
      close(fd);
      return false;
    }
    const uint64_t file_size = static_cast<uint64_t>(st.st_size);
    uint64_t offset = 0;
    uint64_t size = file_size;
    if (self) {
      uint8_t tail[pe::kNativeTrailerSize];
      pe::NativeTrailer trailer;
      if (file_size < sizeof tail ||
          pread(fd, tail, sizeof tail, static_cast<off_t>(file_size - sizeof tail)) !=
              sizeof tail ||
          !pe::DecodeNativeTrailer(tail, file_size, &trailer)) {
        close(fd);
        return false;
      }
      offset = trailer.offset;
      size = trailer.size;
    }
    map = mmap(nullptr, static_cast<size_t>(file_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) {
      map = nullptr;
      return false;
    }
    map_size = static_cast<size_t>(file_size);
    const uint8_t* bytes = static_cast<const uint8_t*>(map) + offset;
    if (!image.Parse(bytes, static_cast<size_t>(size)) || !tree.Load(image)) return false;
    for (const pe::PayloadEntry& payload : pe::ListPayload(tree)) {
      by_name.emplace(text::NameUpper(payload.name), payload.entry);
      names.push_back(text::Utf16ToCp1252(payload.name));
    }
    return true;
  }
};

ResourceModule::ResourceModule() = default;
ResourceModule::~ResourceModule() = default;

bool ResourceModule::OpenFile(const char* path) {
  Close();
  auto impl = std::make_unique<Impl>();
  if (!impl->Map(HostPath(path), false)) return false;
  impl_ = std::move(impl);
  return true;
}

bool ResourceModule::OpenSelf() {
  Close();
  auto impl = std::make_unique<Impl>();
  if (!impl->Map("/proc/self/exe", true)) return false;
  impl_ = std::move(impl);
  return true;
}

void ResourceModule::Close() { impl_.reset(); }

bool ResourceModule::is_open() const { return impl_ != nullptr; }

const uint8_t* ResourceModule::FindRawData(const char* name, uint32_t* size) const {
  if (impl_ == nullptr || name == nullptr) return nullptr;
  const std::string text(name);
  if (text.size() > 511) return nullptr;
  const auto it = impl_->by_name.find(text::NameUpper(text::Cp1252ToUtf16(text)));
  if (it == impl_->by_name.end()) return nullptr;
  const pe::ResourceEntry* entry = it->second;
  if (entry->bytes == nullptr && entry->size != 0) return nullptr;
  *size = entry->size;
  static const uint8_t kEmpty = 0;
  return entry->bytes != nullptr ? entry->bytes : &kEmpty;
}

const uint8_t* ResourceModule::FindRawDataById(uint16_t id, uint32_t* size) const {
  if (impl_ == nullptr) return nullptr;
  const pe::ResourceEntry* entry =
      impl_->tree.Find(pe::ResourceName::Id(pe::kRtRcData), pe::ResourceName::Id(id));
  if (entry == nullptr || entry->bytes == nullptr) return nullptr;
  *size = entry->size;
  return entry->bytes;
}

bool ResourceModule::EnumerateRawDataNames(
    const std::function<bool(const char* name)>& visit) const {
  if (impl_ == nullptr) return true;
  for (const std::string& name : impl_->names) {
    if (!visit(name.c_str())) return false;
  }
  return true;
}

bool ResourceModule::LoadStringText(uint16_t id, uint16_t language, std::string* text) const {
  if (impl_ == nullptr) return false;
  std::u16string wide;
  const uint16_t wanted = language == 0 ? pe::ResourceTree::kAnyLanguage : language;
  if (!pe::LoadTableString(impl_->tree, id, wanted, &wide)) return false;
  *text = text::Utf16ToCp1252(wide);
  return true;
}

}  // namespace corvane::platform
