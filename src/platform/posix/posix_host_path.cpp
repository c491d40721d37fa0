#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/host_path.h"
#include "text/code_page_1252.h"

namespace corvane::platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Whether two UTF-8 names are one name for Windows: a-z, and the letters of
// code page 1252 that have both cases ("CAFÉ" is "Café"), compared without
// regard to case. The payload stores names upper-cased that way.
bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
  bool ascii = true;
  if (a.size() == b.size()) {
    for (size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      ascii = ascii && static_cast<unsigned char>(x) < 0x80 && static_cast<unsigned char>(y) < 0x80;
      if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
      if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
      if (x != y && ascii) return false;
    }
    if (ascii) return true;
  }
  return text::EqualsNameNoCase(text::Utf8ToUtf16(a), text::Utf8ToUtf16(b));
}

// The directory entry of dir whose name equals component without regard to
// ASCII case; the smallest such name when several differ only in case.
bool FindNoCase(const std::string& dir, const std::string& component, std::string* found) {
  DIR* handle = opendir(dir.empty() ? "." : dir.c_str());
  if (handle == nullptr) return false;
  std::vector<std::string> matches;
  while (dirent* entry = readdir(handle)) {
    if (EqualsAsciiNoCase(entry->d_name, component)) matches.emplace_back(entry->d_name);
  }
  closedir(handle);
  if (matches.empty()) return false;
  *found = *std::min_element(matches.begin(), matches.end());
  return true;
}

std::string Join(const std::string& base, const std::string& component) {
  if (base.empty()) return component;
  if (base.back() == '/') return base + component;
  return base + "/" + component;
}

// Splits a Windows path into the host directory it starts from and its components.
void Split(const char* windows_path, std::string* base, std::vector<std::string>* components) {
  std::string path = windows_path ? windows_path : "";
  if (!text::IsValidUtf8(path)) path = text::Utf16ToUtf8(text::Cp1252ToUtf16(path));
  std::replace(path.begin(), path.end(), '\\', '/');
  size_t start = 0;
  const bool drive = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (drive) {
    const char letter = static_cast<char>(path[0] | 0x20);
    *base = WinePrefix() + "/dosdevices/" + letter + ":";
    start = 2;
  } else if (!path.empty() && path[0] == '/') {
    *base = "/";
  } else {
    base->clear();
  }
  components->clear();
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string component = path.substr(start, slash - start);
    if (!component.empty() && component != ".") components->push_back(component);
    start = slash + 1;
  }
}

}  // namespace

namespace {
std::string& ChosenPrefix() {
  static std::string prefix;
  return prefix;
}
}  // namespace

void SetWinePrefix(const std::string& prefix) { ChosenPrefix() = prefix; }

std::string ProgramPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<size_t>(length));
}

std::string WinePrefix() {
  if (!ChosenPrefix().empty()) return ChosenPrefix();
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && prefix[0] != '\0') return prefix;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.wine";
}

std::string HostPath(const char* windows_path) {
  std::string path;
  std::vector<std::string> components;
  Split(windows_path, &path, &components);
  // A path that is there as written needs no matching, component by component.
  std::string exact_all = path;
  for (const std::string& component : components) exact_all = Join(exact_all, component);
  if (!components.empty() && Exists(exact_all)) return exact_all;
  bool matching = true;
  for (const std::string& component : components) {
    if (matching && component != "..") {
      const std::string exact = Join(path, component);
      std::string found;
      if (Exists(exact)) {
        path = exact;
        continue;
      }
      if (FindNoCase(path, component, &found)) {
        path = Join(path, found);
        continue;
      }
      matching = false;
    }
    path = Join(path, component);
  }
  if (path.empty() && windows_path != nullptr && windows_path[0] != '\0') path = ".";
  return path;
}

bool CreateDirectories(const char* windows_directory) {
  std::string path;
  std::vector<std::string> components;
  Split(windows_directory, &path, &components);
  for (const std::string& component : components) {
    const std::string exact = Join(path, component);
    std::string found;
    if (component == ".." || Exists(exact)) {
      path = exact;
    } else if (FindNoCase(path, component, &found)) {
      path = Join(path, found);
    } else {
      path = exact;
      if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace corvane::platform
