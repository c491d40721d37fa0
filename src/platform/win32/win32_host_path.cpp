#include <windows.h>

#include <string>

#include "platform/host_path.h"

namespace corvane::platform {

std::string HostPath(const char* windows_path) { return windows_path ? windows_path : ""; }

bool CreateDirectories(const char* windows_directory) {
  std::string path = windows_directory ? windows_directory : "";
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '\\') continue;
    const std::string prefix = path.substr(0, i);
    // Skip "" (a leading backslash) and a bare drive "X:".
    if (prefix.empty() || (prefix.size() == 2 && prefix[1] == ':')) continue;
    CreateDirectoryA(prefix.c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WinePrefix() { return {}; }
void SetWinePrefix(const std::string&) {}

std::string ProgramPath() {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

}  // namespace corvane::platform
