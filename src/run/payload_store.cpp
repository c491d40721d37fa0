#include "run/payload_store.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/resource_module.h"
#include "run/message_catalogue.h"

namespace corvane {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

constexpr char kPartSuffix[] = ".part";

// Removes a leftover file, read-only or not; quietly nothing when there is none.
void RemoveAnyFile(const char* path) {
  platform::FileAttributes attributes = platform::QueryFileAttributes(path);
  if (!attributes.exists || attributes.directory) return;
  if (attributes.read_only) platform::SetReadOnly(path, false);
  platform::RemoveFile(path);
}

void ShowWriteError(int error, const char* target_path) {
  char text[1024];
  std::snprintf(text, sizeof(text), "errno = %d (0x%x), %s", error, static_cast<unsigned>(error),
                target_path);
  GetMessageBoxFunctions()->Show(text, "Error in write", platform::BoxIcon::kInformation);
}

}  // namespace

bool StartsWithNoCase(const char* name, const char* prefix) {
  for (; *prefix != '\0'; ++name, ++prefix) {
    if (*name == '\0' || AsciiUpper(*name) != AsciiUpper(*prefix)) return false;
  }
  return true;
}

const uint8_t* FindPayload(const char* name, const platform::ResourceModule& module,
                           uint32_t* size) {
  if (name == nullptr) return nullptr;
  // Names are kept upper-case in the module; the lookup folds the request
  // the same way. A name that does not fit is refused rather than cut, so it
  // can never find a different resource.
  size_t length = std::strlen(name);
  if (length > kMaxPayloadName) return nullptr;
  char upper[kMaxPayloadName + 1];
  for (size_t i = 0; i <= length; ++i) upper[i] = AsciiUpper(name[i]);
  uint32_t found_size = 0;
  const uint8_t* bytes = module.FindRawData(upper, &found_size);
  if (bytes == nullptr) return nullptr;
  *size = found_size;
  return bytes;
}

uint32_t PayloadSize(const char* name, const platform::ResourceModule& module) {
  uint32_t size = 0;
  if (FindPayload(name, module, &size) == nullptr) {
    ShowSystemError();
    return 0;
  }
  return size;
}

std::unique_ptr<char[]> LoadPayloadText(const char* name, const platform::ResourceModule& module,
                                        uint32_t* size) {
  uint32_t found_size = 0;
  const uint8_t* bytes = FindPayload(name, module, &found_size);
  if (bytes == nullptr || found_size < 1) return nullptr;
  std::unique_ptr<char[]> text(new char[static_cast<size_t>(found_size) + 1]);
  std::memcpy(text.get(), bytes, found_size);
  text[found_size] = '\0';
  if (size != nullptr) *size = found_size;
  return text;
}

void MakeDirectories(const char* path) {
  if (path == nullptr || std::strlen(path) > kMaxPayloadPath) return;
  std::string prefix = path;
  for (size_t slash = prefix.find('\\'); slash != std::string::npos;
       slash = prefix.find('\\', slash + 1)) {
    if (slash == 0) continue;  // the root of the current drive
    platform::MakeDirectory(prefix.substr(0, slash).c_str());
  }
}

bool ExtractPayload(const char* name, const char* target_path,
                    const platform::ResourceModule& module) {
  uint32_t size = 0;
  const uint8_t* bytes = FindPayload(name, module, &size);
  if (bytes == nullptr) {
    ShowSystemError();
    return false;
  }
  if (target_path == nullptr ||
      std::strlen(target_path) + sizeof(kPartSuffix) - 1 > kMaxPayloadPath) {
    return false;
  }
  MakeDirectories(target_path);

  std::string part_path = std::string(target_path) + kPartSuffix;
  RemoveAnyFile(part_path.c_str());
  platform::ScopedFile file(platform::FileOpenWrite(part_path.c_str()));
  if (!file.IsValid()) return false;

  bool written = true;
  for (uint32_t offset = 0; offset < size; offset += kExtractPieceSize) {
    uint32_t piece = size - offset < kExtractPieceSize ? size - offset : kExtractPieceSize;
    if (platform::FileWrite(file.Get(), bytes + offset, piece) != piece) {
      ShowWriteError(platform::FileLastError(), target_path);
      written = false;
      break;
    }
  }
  bool closed = file.Close();
  if (written && closed) {
    // Replacing in one rename: a read-only target would refuse it on win32.
    platform::FileAttributes target = platform::QueryFileAttributes(target_path);
    if (target.exists && target.read_only) platform::SetReadOnly(target_path, false);
    if (platform::RenameReplacing(part_path.c_str(), target_path)) return true;
  }
  RemoveAnyFile(part_path.c_str());
  return false;
}

bool EnumeratePayload(const platform::ResourceModule& module, PayloadCallback callback,
                      PatchContext* context) {
  return module.EnumerateRawDataNames([&](const char* name) {
    return callback(&module, kRawDataType, name, context);
  });
}

bool CollectPayloadNames(const platform::ResourceModule* /*module*/, int /*type*/,
                         const char* name, PatchContext* context) {
  if (IsNumberedResourceName(name)) return true;
  context->seen = 1;
  if (!StartsWithNoCase(name, context->prefix)) return true;
  context->names.Add(RString(name));
  return true;
}

}  // namespace corvane
