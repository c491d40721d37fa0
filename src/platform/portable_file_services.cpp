// File services the standard library gives on both systems alike (on the
// host's form of each path): listing a folder, absolute paths.

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

std::string AbsolutePath(const char* path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(HostPath(path), error);
  return error ? std::string(path) : absolute.string();
}

}  // namespace corvane::platform
