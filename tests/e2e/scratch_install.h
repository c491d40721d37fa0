#pragma once

// A scratch Wine-style prefix with an installed sample game, for whole patch
// runs of the native patcher: <root>/prefix holds system.reg, user.reg,
// dosdevices/c: -> ../drive_c, and the game directory C:\Games\<name>, whose
// path the registry value "MAIN" of the game's key gives.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvane::e2e {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text);
bool ReadFileBytes(const std::string& path, Bytes* bytes);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
// Makes every directory of a host path (not the last component).
void MakeParentDirectories(const std::string& path);
// `name` with its backslashes turned to slashes, as Snapshot names files.
std::string Slashes(std::string name);

class ScratchInstall {
 public:
  // Makes a fresh directory below $TMPDIR (or /tmp) named after `tag`.
  explicit ScratchInstall(const std::string& tag);
  // Uses `root` itself (made when missing) and keeps it when destroyed.
  enum KeepTag { kKeep };
  ScratchInstall(const std::string& root, KeepTag);
  ~ScratchInstall();  // removes the whole tree unless kept

  const std::string& root() const { return root_; }
  const std::string& prefix() const { return prefix_; }
  // Host path of the game directory and its Windows form ("C:\Games\Game").
  const std::string& game_dir() const { return game_dir_; }
  const std::string& game_dir_windows() const { return game_dir_windows_; }

  // Registers the game: HKLM\<key> value "MAIN" = the game directory (or `main`).
  bool Register(const std::string& key, const std::string* main = nullptr) const;
  // Reads a string value of the prefix's registry (user: HKCU, else HKLM).
  bool ReadValue(bool user, const std::string& key, const std::string& name,
                 std::string* value) const;

  // Writes a file below the game directory (relative path with "/" or "\").
  bool WriteGameFile(const std::string& relative, const Bytes& bytes) const;
  bool ReadGameFile(const std::string& relative, Bytes* bytes) const;
  std::string GamePath(const std::string& relative) const;

  // Every regular file below the game directory, by relative path with "/".
  std::map<std::string, Bytes> Snapshot() const;

  // Points $WINEPREFIX of this process at the prefix (for in-process reads).
  void UsePrefix() const;

 private:
  void MakeTree();

  bool keep_ = false;
  std::string root_;
  std::string prefix_;
  std::string game_dir_;
  std::string game_dir_windows_;
};

}  // namespace corvane::e2e
