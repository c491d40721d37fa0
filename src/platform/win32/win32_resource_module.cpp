#include <windows.h>

#include <string>
#include <vector>

#include "platform/resource_module.h"

namespace corvane::platform {

struct ResourceModule::Impl {
  HMODULE module = nullptr;
  bool owned = false;

  ~Impl() {
    if (owned && module != nullptr) FreeLibrary(module);
  }
};

namespace {

struct EnumState {
  const std::function<bool(const char*)>* visit;
  bool stopped;
};

BOOL CALLBACK VisitName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  if (IS_INTRESOURCE(name)) return TRUE;  // numbered resources are never payload
  if (!(*state->visit)(name)) {
    state->stopped = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

ResourceModule::ResourceModule() = default;
ResourceModule::~ResourceModule() = default;

bool ResourceModule::OpenFile(const char* path) {
  Close();
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return false;
  impl_ = std::make_unique<Impl>();
  impl_->module = module;
  impl_->owned = true;
  return true;
}

bool ResourceModule::OpenSelf() {
  Close();
  impl_ = std::make_unique<Impl>();
  impl_->module = GetModuleHandleA(nullptr);
  return true;
}

void ResourceModule::Close() { impl_.reset(); }

bool ResourceModule::is_open() const { return impl_ != nullptr; }

const uint8_t* ResourceModule::FindRawData(const char* name, uint32_t* size) const {
  if (impl_ == nullptr || name == nullptr) return nullptr;
  char upper[512];
  size_t length = 0;
  for (; name[length] != '\0'; ++length) {
    if (length >= sizeof upper - 1) return nullptr;  // does not fit the name buffer
    const char c = name[length];
    upper[length] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  upper[length] = '\0';
  HRSRC found = FindResourceA(impl_->module, upper, MAKEINTRESOURCEA(10));
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(impl_->module, found);
  if (loaded == nullptr) return nullptr;
  *size = SizeofResource(impl_->module, found);
  return static_cast<const uint8_t*>(LockResource(loaded));
}

const uint8_t* ResourceModule::FindRawDataById(uint16_t id, uint32_t* size) const {
  if (impl_ == nullptr) return nullptr;
  HRSRC found = FindResourceA(impl_->module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(impl_->module, found);
  if (loaded == nullptr) return nullptr;
  *size = SizeofResource(impl_->module, found);
  return static_cast<const uint8_t*>(LockResource(loaded));
}

bool ResourceModule::EnumerateRawDataNames(
    const std::function<bool(const char* name)>& visit) const {
  if (impl_ == nullptr) return true;
  EnumState state{&visit, false};
  EnumResourceNamesA(impl_->module, MAKEINTRESOURCEA(10), VisitName,
                     reinterpret_cast<LONG_PTR>(&state));
  return !state.stopped;
}

bool ResourceModule::LoadStringText(uint16_t id, uint16_t language, std::string* text) const {
  if (impl_ == nullptr) return false;
  if (language == 0) {
    std::vector<char> buffer(4096);
    const int length =
        LoadStringA(impl_->module, id, buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0) return false;
    text->assign(buffer.data(), static_cast<size_t>(length));
    return true;
  }
  // A block of the requested language, else the loader's own choice.
  const LPCSTR block = MAKEINTRESOURCEA(id / 16 + 1);
  HRSRC found = FindResourceExA(impl_->module, MAKEINTRESOURCEA(6), block, language);
  if (found == nullptr) found = FindResourceA(impl_->module, block, MAKEINTRESOURCEA(6));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(impl_->module, found);
  const auto* units = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
  if (units == nullptr) return false;
  const DWORD size = SizeofResource(impl_->module, found) / 2;
  DWORD offset = 0;
  for (int index = 0; index < 16; ++index) {
    if (offset >= size) return false;
    const WORD length = units[offset++];
    if (index == id % 16) {
      if (length == 0 || offset + length > size) return false;
      const int bytes =
          WideCharToMultiByte(CP_ACP, 0, units + offset, length, nullptr, 0, nullptr, nullptr);
      if (bytes <= 0) return false;
      text->assign(static_cast<size_t>(bytes), '\0');
      WideCharToMultiByte(CP_ACP, 0, units + offset, length, text->data(), bytes, nullptr, nullptr);
      return true;
    }
    offset += length;
  }
  return false;
}

}  // namespace corvane::platform
