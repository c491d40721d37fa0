// File services the standard library gives on both systems alike (on the
// host's form of each path): listing a folder. Only the maker's side lists
// folders: the patcher does not link this file, and with it the standard
// library's file system and streams (most of a megabyte in the Windows
// program) stay out of the patcher.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"
#include "platform/host_path.h"

namespace corvane::platform {

bool ListFilesBelow(const char* directory, std::vector<std::string>* names) {
  namespace fs = std::filesystem;
  names->clear();
  std::error_code error;
  const fs::path root(HostPath(directory));
  if (!fs::is_directory(root, error)) return false;
  fs::recursive_directory_iterator it(root, error), end;
  for (; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    std::string relative = it->path().lexically_relative(root).generic_string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    names->push_back(std::move(relative));
  }
  return !error;
}

}  // namespace corvane::platform
