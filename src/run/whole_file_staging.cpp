#include "run/whole_file_staging.h"

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "run/payload_store.h"

namespace corvane {

bool StagedWholeFiles::MakeFolders(const std::string& target,
                                   const std::string& installation_directory) {
  if (target.size() <= installation_directory.size() ||
      target.compare(0, installation_directory.size(), installation_directory) != 0) {
    return false;
  }
  for (size_t slash = target.find('\\', installation_directory.size()); slash != std::string::npos;
       slash = target.find('\\', slash + 1)) {
    const std::string folder = target.substr(0, slash);
    platform::FileAttributes attributes = platform::QueryFileAttributes(folder.c_str());
    if (attributes.exists) {
      if (!attributes.directory || attributes.link) return false;
      continue;
    }
    if (!platform::MakeDirectory(folder.c_str())) return false;
    folders_.push_back(folder);
  }
  return true;
}

bool StagedWholeFiles::Stage(const platform::ResourceModule& module, const char* name,
                             const std::string& target, const std::string& installation_directory) {
  const std::string work = target + kPartSuffix;
  if (parts_.count(work) != 0 || work.size() > kMaxPayloadPath) return false;
  uint32_t size = 0;
  const uint8_t* bytes = FindPayload(name, module, &size);
  if (bytes == nullptr || !MakeFolders(target, installation_directory)) return false;
  platform::FileFault fault = platform::FileFault::kNone;
  int write_error = 0;
  if (!WriteWorkFileQuietly(bytes, size, work.c_str(), &fault, &write_error)) return false;
  parts_[work] = name;
  return true;
}

bool StagedWholeFiles::Take(const char* name, const std::string& target) {
  auto it = parts_.find(target + kPartSuffix);
  if (it == parts_.end() || it->second != name) return false;
  parts_.erase(it);
  return true;
}

void StagedWholeFiles::Discard() {
  for (const auto& [work, name] : parts_) platform::RemoveFile(work.c_str());
  parts_.clear();
  for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
    platform::RemoveEmptyDirectory(folder->c_str());
  }
  folders_.clear();
}

}  // namespace corvane
