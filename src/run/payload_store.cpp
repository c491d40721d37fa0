#include "run/payload_store.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/work_file.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/resource_module.h"
#include "run/message_catalogue.h"

namespace corvane {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Removes a work file; quietly nothing when there is none.
void RemoveWorkFile(const char* path) {
  platform::FileAttributes attributes = platform::QueryFileAttributes(path);
  if (!attributes.exists || (attributes.directory && !attributes.link)) return;
  if (attributes.read_only && !attributes.link) platform::SetReadOnly(path, false);
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

uint32_t PayloadSizeQuietly(const char* name, const platform::ResourceModule& module) {
  uint32_t size = 0;
  return FindPayload(name, module, &size) != nullptr ? size : 0;
}

WorkProgress PayloadWork(std::string phase, const NameList& names,
                         const platform::ResourceModule& module) {
  WorkProgress work;
  work.phase = std::move(phase);
  work.files_total = names.Size();
  for (const RString& name : names) work.bytes_total += PayloadSizeQuietly(name.Data(), module);
  return work;
}

void CountPayloadItemDone(WorkProgress* work, const char* name,
                          const platform::ResourceModule& module) {
  ++work->files_done;
  work->bytes_done += PayloadSizeQuietly(name, module);
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

bool WriteWorkFileQuietly(const uint8_t* bytes, uint32_t size, const char* work_path,
                          platform::FileFault* fault, int* write_error) {
  *fault = platform::FileFault::kNone;
  *write_error = 0;
  platform::ScopedFile file(CreateWorkFile(work_path, fault));
  if (!file.IsValid()) return false;

  bool written = true;
  for (uint32_t offset = 0; offset < size; offset += kExtractPieceSize) {
    uint32_t piece = size - offset < kExtractPieceSize ? size - offset : kExtractPieceSize;
    if (platform::FileWrite(file.Get(), bytes + offset, piece) != piece) {
      *fault = platform::LastFileFault();
      *write_error = platform::FileLastError();
      written = false;
      break;
    }
  }
  // Renamed over the installed file next: it must be on the disk first, or a
  // power loss could leave the installed name on an empty file.
  if (written && !platform::FileSync(file.Get())) {
    *fault = platform::LastFileFault();
    written = false;
  }
  if (!file.Close() && written) {
    *fault = platform::LastFileFault();
    written = false;
  }
  if (written) return true;
  RemoveWorkFile(work_path);
  return false;
}

bool WritePayloadFile(const char* name, const char* work_path,
                      const platform::ResourceModule& module, platform::FileFault* fault,
                      const char* shown_path) {
  platform::FileFault ignored = platform::FileFault::kNone;
  if (fault == nullptr) fault = &ignored;
  *fault = platform::FileFault::kNone;
  uint32_t size = 0;
  const uint8_t* bytes = FindPayload(name, module, &size);
  if (bytes == nullptr) {
    ShowSystemError();
    return false;
  }
  if (work_path == nullptr || std::strlen(work_path) > kMaxPayloadPath) {
    *fault = platform::FileFault::kOther;
    return false;
  }
  MakeDirectories(work_path);
  int write_error = 0;
  if (WriteWorkFileQuietly(bytes, size, work_path, fault, &write_error)) return true;
  if (write_error != 0) ShowWriteError(write_error, shown_path != nullptr ? shown_path : work_path);
  return false;
}

bool ExtractPayload(const char* name, const char* target_path,
                    const platform::ResourceModule& module, platform::FileFault* fault) {
  platform::FileFault ignored = platform::FileFault::kNone;
  if (fault == nullptr) fault = &ignored;
  if (target_path == nullptr ||
      std::strlen(target_path) + sizeof(kPartSuffix) - 1 > kMaxPayloadPath) {
    *fault = platform::FileFault::kOther;
    // A missing resource is told as before, whatever the path.
    uint32_t size = 0;
    if (FindPayload(name, module, &size) == nullptr) ShowSystemError();
    return false;
  }
  std::string part_path = std::string(target_path) + kPartSuffix;
  if (!WritePayloadFile(name, part_path.c_str(), module, fault, target_path)) return false;

  // Replacing in one rename: a read-only target would refuse it on win32. The
  // attribute belongs to the file at the name, never to a link's target.
  platform::FileAttributes target = platform::QueryFileAttributes(target_path);
  bool read_only = target.exists && target.read_only && !target.link;
  if (read_only) platform::SetReadOnly(target_path, false);
  if (platform::RenameReplacing(part_path.c_str(), target_path)) {
    if (read_only) platform::SetReadOnly(target_path, true);
    return true;
  }
  *fault = platform::LastFileFault();
  if (read_only) platform::SetReadOnly(target_path, true);
  RemoveWorkFile(part_path.c_str());
  return false;
}

bool EnumeratePayload(const platform::ResourceModule& module, PayloadCallback callback,
                      PatchContext* context) {
  return module.EnumerateRawDataNames(
      [&](const char* name) { return callback(&module, kRawDataType, name, context); });
}

bool CollectPayloadNames(const platform::ResourceModule* /*module*/, int /*type*/, const char* name,
                         PatchContext* context) {
  if (IsNumberedResourceName(name)) return true;
  context->seen = 1;
  if (!StartsWithNoCase(name, context->prefix)) return true;
  context->names.Add(RString(name));
  return true;
}

}  // namespace corvane
