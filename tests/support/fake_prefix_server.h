#pragma once

// A stand-in for the wineserver of a Wine prefix (POSIX only): a child
// process that holds the server's lock file, the way a running server does,
// so that tests can check what is refused while a prefix is in use.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace corvane::test_support {

// The folder where the server of `prefix` keeps its lock
// (/tmp/.wine-<uid>/server-<device>-<inode>); empty when `prefix` cannot be
// looked at.
inline std::string PrefixServerDir(const std::string& prefix) {
  struct stat st;
  if (stat(prefix.c_str(), &st) != 0) return "";
  char dir[256];
  std::snprintf(dir, sizeof dir, "/tmp/.wine-%u/server-%" PRIx64 "-%" PRIx64,
                static_cast<unsigned>(getuid()), static_cast<uint64_t>(st.st_dev),
                static_cast<uint64_t>(st.st_ino));
  return dir;
}

// Holds the server lock of a prefix from a child process until the object
// goes, which kills the child and removes the server folder.
class FakePrefixServer {
 public:
  FakePrefixServer() = default;
  ~FakePrefixServer() {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }

  // Makes the server folder and its lock file where they are missing, and
  // takes the lock in the child; true once the child holds it.
  bool Start(const std::string& prefix) {
    dir_ = PrefixServerDir(prefix);
    if (dir_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(dir_, error);
    const std::string lock_path = dir_ + "/lock";
    int ready[2];
    if (pipe(ready) != 0) return false;
    child_ = fork();
    if (child_ == 0) {
      const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT, 0600);
      struct flock lock = {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const char ok = (fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    char ok = 0;
    const bool started = child_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
    close(ready[1]);
    return started;
  }

 private:
  // One child, killed once.
  FakePrefixServer(const FakePrefixServer&) = delete;
  FakePrefixServer& operator=(const FakePrefixServer&) = delete;

  pid_t child_ = -1;
  std::string dir_;
};

}  // namespace corvane::test_support
