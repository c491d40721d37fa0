#include "engine/work_file.h"

#include "platform/file_system.h"

namespace corvane {

namespace {

WorkFileCreateFunction create_function = nullptr;

}  // namespace

platform::FileHandle CreateWorkFileOnDisk(const char* path, platform::FileFault* fault) {
  platform::FileAttributes stale = platform::QueryFileAttributes(path);
  if (stale.exists && (stale.link || !stale.directory)) {
    // A read-only leftover would refuse deletion on win32; a link is removed
    // as it is, its target keeps its attributes.
    if (!stale.link && stale.read_only) platform::SetReadOnly(path, false);
    platform::RemoveFile(path);
  }
  platform::FileHandle file = platform::FileCreateNew(path);
  if (fault != nullptr) {
    *fault =
        platform::IsValidFileHandle(file) ? platform::FileFault::kNone : platform::LastFileFault();
  }
  return file;
}

platform::FileHandle CreateWorkFile(const char* path, platform::FileFault* fault) {
  platform::FileFault ignored = platform::FileFault::kNone;
  if (fault == nullptr) fault = &ignored;
  return create_function != nullptr ? create_function(path, fault)
                                    : CreateWorkFileOnDisk(path, fault);
}

void SetWorkFileCreateFunction(WorkFileCreateFunction function) { create_function = function; }

}  // namespace corvane
