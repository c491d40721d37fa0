#include "engine/update_path.h"

#include <cctype>

#include "engine/update_format.h"

namespace corvane {

namespace {

size_t FileNameStart(const std::string& path) {
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos) return slash + 1;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    return 2;
  }
  return 0;
}

}  // namespace

size_t PathExtensionOffset(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < FileNameStart(path)) return std::string::npos;
  return dot;
}

bool IsUpdateFileName(const std::string& name) {
  size_t dot = PathExtensionOffset(name);
  if (dot == std::string::npos) return false;
  const char* want = update_format::kExtension;
  size_t i = 0;
  for (; dot + i < name.size() && want[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[dot + i])) != want[i]) return false;
  }
  return dot + i == name.size() && want[i] == '\0';
}

std::string CutExtension(const std::string& path) {
  size_t dot = PathExtensionOffset(path);
  return dot == std::string::npos ? path : path.substr(0, dot);
}

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) return path.substr(slash + 1);
  return path.substr(FileNameStart(path));
}

}  // namespace corvane
