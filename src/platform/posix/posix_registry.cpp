// The registry of a Wine prefix, kept in its text files.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/host_path.h"
#include "platform/posix/wine_environment.h"
#include "platform/posix/wine_registry_file.h"
#include "platform/registry.h"
#include "text/code_page_1252.h"

namespace corvane::platform {
namespace {

void SetMessage(std::string* message, const std::string& text) {
  if (message != nullptr) *message = text;
}

std::string RegistryFilePath(RegistryRoot root) {
  return WinePrefix() + (root == RegistryRoot::kLocalMachine ? "/system.reg" : "/user.reg");
}

bool ReadWholeFile(const std::string& path, std::string* text, int* error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = errno;
    return false;
  }
  text->clear();
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
  const bool ok = std::ferror(file) == 0;
  *error = ok ? 0 : errno;
  std::fclose(file);
  return ok;
}

bool LockHeld(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool locked = fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  close(fd);
  return locked;
}

// The wineserver of a prefix holds a write lock on the "lock" file of its
// server directory, server-<device>-<inode> (of the prefix directory), for as
// long as it runs. That directory is below /tmp/.wine-<uid>; Debian's Wine puts
// it below a private temporary directory whose path it writes into the
// prefix's file "wineserver" (a name below /run/user/<uid>, $TMPDIR or /tmp).
bool WineServerRunning(const std::string& prefix) {
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0) return false;
  char server[64];
  std::snprintf(server, sizeof server, "/server-%" PRIx64 "-%" PRIx64,
                static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
  if (LockHeld("/tmp/.wine-" + std::to_string(getuid()) + server + "/lock")) return true;
  std::string base;
  int error = 0;
  if (ReadWholeFile(prefix + "/wineserver", &base, &error)) {
    while (!base.empty() && (base.back() == '\n' || base.back() == '\0')) base.pop_back();
    // It names the directory relative to where temporary directories go.
    std::vector<std::string> roots = {"", "/run/user/" + std::to_string(getuid()) + "/"};
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] != '\0') {
      roots.emplace_back(std::string(tmp) + "/");
    }
    roots.emplace_back("/tmp/");
    for (const std::string& root : roots) {
      // An absolute path is taken as it is; a name only below a root.
      if (base.empty() || root.empty() != (base[0] == '/')) continue;
      if (LockHeld(root + base + server + "/lock")) return true;
    }
  }
  return false;
}

// A 32-bit program in a 64-bit prefix sees HKLM\Software\X at
// HKLM\Software\Wow6432Node\X. Classes stay shared, as in Wine.
std::u16string RedirectKey(RegistryRoot root, bool win64, const std::u16string& key) {
  if (!win64 || root != RegistryRoot::kLocalMachine) return key;
  std::u16string path = NormalizeKeyPath(key);
  const size_t first_end = path.find(u'\\');
  const std::u16string first = path.substr(0, first_end);
  if (!EqualsNoCase(first, u"Software")) return path;
  const std::u16string rest = first_end == std::u16string::npos ? u"" : path.substr(first_end + 1);
  const std::u16string second = rest.substr(0, rest.find(u'\\'));
  if (EqualsNoCase(second, u"Wow6432Node") || EqualsNoCase(second, u"Classes")) return path;
  return first + u"\\Wow6432Node" + (rest.empty() ? u"" : u"\\" + rest);
}

// %NAME% in an expandable value read from `file` (the file of `root`), with
// the variables of the prefix; the other registry file is read for them too.
std::u16string ExpandInPrefix(const std::u16string& text, RegistryRoot root,
                              const WineRegistryFile& file) {
  const RegistryRoot other_root = root == RegistryRoot::kLocalMachine ? RegistryRoot::kCurrentUser
                                                                      : RegistryRoot::kLocalMachine;
  std::string other_text;
  int error = 0;
  WineRegistryFile other;
  const bool have_other = ReadWholeFile(RegistryFilePath(other_root), &other_text, &error) &&
                          other.Load(std::move(other_text));
  if (root == RegistryRoot::kLocalMachine)
    return ExpandWineEnvironment(text, file, have_other ? &other : nullptr);
  // Without the machine's file only the user's own variables are known.
  if (!have_other) other.Load(WineRegistryFile::EmptyFile(false, false));
  return ExpandWineEnvironment(text, other, &file);
}

bool WriteAtomically(const std::string& path, const std::string& text, mode_t mode,
                     std::string* message) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    SetMessage(message,
               "cannot create a temporary file beside " + path + ": " + std::strerror(errno));
    return false;
  }
  size_t written = 0;
  bool ok = true;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  int error = errno;
  ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  if (!ok) error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    SetMessage(message, "cannot write " + path + ": " + std::strerror(error));
  }
  return ok;
}

}  // namespace

RegistryStatus ReadRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                  std::string* value, std::string* message) {
  const std::string path = RegistryFilePath(root);
  std::string text;
  int error = 0;
  if (!ReadWholeFile(path, &text, &error)) {
    SetMessage(message, "cannot read " + path + ": " + std::strerror(error));
    return error == ENOENT ? RegistryStatus::kNotFound : RegistryStatus::kFailed;
  }
  WineRegistryFile file;
  if (!file.Load(std::move(text))) {
    SetMessage(message, path + " is not a Wine registry file");
    return RegistryStatus::kFailed;
  }
  const std::u16string key =
      RedirectKey(root, file.win64(), text::Cp1252ToUtf16(key_path ? key_path : ""));
  std::u16string found;
  bool expandable = false;
  switch (
      file.GetString(key, text::Cp1252ToUtf16(value_name ? value_name : ""), &found, &expandable)) {
    case WineRegistryFile::Lookup::kFound:
      // An installer may store a folder as "%ProgramFiles%\Game"; the
      // variables come from both files of the prefix.
      if (expandable) found = ExpandInPrefix(found, root, file);
      *value = text::Utf16ToCp1252(found);
      return RegistryStatus::kOk;
    case WineRegistryFile::Lookup::kNotString:
      SetMessage(message, "the value is not a string");
      return RegistryStatus::kNotFound;
    default:
      SetMessage(message, "no such key or value");
      return RegistryStatus::kNotFound;
  }
}

std::string DescribeRegistryKey(RegistryRoot root, const char* key_path) {
  return std::string(root == RegistryRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE\\"
                                                         : "HKEY_CURRENT_USER\\") +
         (key_path != nullptr ? key_path : "") + " in " + RegistryFilePath(root);
}

bool RegistryInUse(std::string* where) {
  const std::string prefix = WinePrefix();
  if (!WineServerRunning(prefix)) return false;
  if (where != nullptr) *where = prefix;
  return true;
}

RegistryStatus WriteRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                   const char* value, std::string* message) {
  const std::string prefix = WinePrefix();
  if (WineServerRunning(prefix)) {
    SetMessage(message, "the Wine prefix " + prefix +
                            " is in use (its wineserver is running); close its programs or run "
                            "'wineserver -k' and try again");
    return RegistryStatus::kServerRunning;
  }
  const std::string path = RegistryFilePath(root);
  std::string text;
  int error = 0;
  mode_t mode = 0644;
  WineRegistryFile file;
  if (ReadWholeFile(path, &text, &error)) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    if (!file.Load(std::move(text))) {
      SetMessage(message, path + " is not a Wine registry file; it was left alone");
      return RegistryStatus::kFailed;
    }
  } else if (error == ENOENT) {
    struct stat st;
    if (stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      SetMessage(message, "no Wine prefix at " + prefix);
      return RegistryStatus::kFailed;
    }
    file.Load(WineRegistryFile::EmptyFile(root == RegistryRoot::kCurrentUser, false));
  } else {
    SetMessage(message, "cannot read " + path + ": " + std::strerror(error));
    return RegistryStatus::kFailed;
  }
  const std::u16string key =
      RedirectKey(root, file.win64(), text::Cp1252ToUtf16(key_path ? key_path : ""));
  file.SetString(key, text::Cp1252ToUtf16(value_name ? value_name : ""),
                 text::Cp1252ToUtf16(value ? value : ""), static_cast<int64_t>(std::time(nullptr)));
  return WriteAtomically(path, file.text(), mode, message) ? RegistryStatus::kOk
                                                           : RegistryStatus::kFailed;
}

}  // namespace corvane::platform
