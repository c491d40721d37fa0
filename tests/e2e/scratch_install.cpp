#include "scratch_install.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/registry.h"

namespace corvane::e2e {

namespace fs = std::filesystem;

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

bool ReadFileBytes(const std::string& path, Bytes* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  MakeParentDirectories(path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void MakeParentDirectories(const std::string& path) {
  std::error_code ignored;
  fs::create_directories(fs::path(path).parent_path(), ignored);
}

std::string Slashes(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return name;
}

ScratchInstall::ScratchInstall(const std::string& tag) {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp";
  std::string pattern = base + "/corvane-e2e-" + tag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  root_ = mkdtemp(buffer.data()) != nullptr ? buffer.data() : base + "/corvane-e2e-" + tag;
  MakeTree();
}

ScratchInstall::ScratchInstall(const std::string& root, KeepTag) : keep_(true), root_(root) {
  MakeTree();
}

void ScratchInstall::MakeTree() {
  prefix_ = root_ + "/prefix";
  game_dir_ = prefix_ + "/drive_c/Games/Game";
  game_dir_windows_ = "C:\\Games\\Game";
  fs::create_directories(game_dir_);
  fs::create_directories(prefix_ + "/dosdevices");
  std::error_code ignored;
  fs::create_symlink("../drive_c", prefix_ + "/dosdevices/c:", ignored);
}

ScratchInstall::~ScratchInstall() {
  if (keep_) return;
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void ScratchInstall::UsePrefix() const { setenv("WINEPREFIX", prefix_.c_str(), 1); }

bool ScratchInstall::Register(const std::string& key, const std::string* main) const {
  UsePrefix();
  const std::string& value = main != nullptr ? *main : game_dir_windows_;
  return platform::WriteRegistryString(platform::RegistryRoot::kLocalMachine, key.c_str(), "MAIN",
                                       value.c_str()) == platform::RegistryStatus::kOk;
}

bool ScratchInstall::ReadValue(bool user, const std::string& key, const std::string& name,
                               std::string* value) const {
  UsePrefix();
  return platform::ReadRegistryString(
             user ? platform::RegistryRoot::kCurrentUser : platform::RegistryRoot::kLocalMachine,
             key.c_str(), name.c_str(), value) == platform::RegistryStatus::kOk;
}

std::string ScratchInstall::GamePath(const std::string& relative) const {
  std::string path = relative;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return game_dir_ + "/" + path;
}

bool ScratchInstall::WriteGameFile(const std::string& relative, const Bytes& bytes) const {
  return WriteFileBytes(GamePath(relative), bytes);
}

bool ScratchInstall::ReadGameFile(const std::string& relative, Bytes* bytes) const {
  return ReadFileBytes(GamePath(relative), bytes);
}

std::map<std::string, Bytes> ScratchInstall::Snapshot() const {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(game_dir_)) {
    if (!entry.is_regular_file()) continue;
    Bytes bytes;
    ReadFileBytes(entry.path().string(), &bytes);
    files[fs::relative(entry.path(), game_dir_).generic_string()] = std::move(bytes);
  }
  return files;
}

}  // namespace corvane::e2e
