#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/host_path.h"
#include "platform/install_lock.h"

namespace corvane::platform {

struct InstallLock::Impl {
  int fd = -1;
  std::string path;
};

InstallLock::InstallLock() : impl_(std::make_unique<Impl>()) {}
InstallLock::~InstallLock() { Release(); }

bool InstallLock::held() const { return impl_->fd >= 0; }

InstallLockResult InstallLock::Acquire(const char* lock_path) {
  Release();
  const std::string path = HostPath(lock_path);
  // A holder that ends removes the file after we opened it; our lock would
  // then be on a file nobody else sees. Open again until the locked file is
  // the one at the path (a few rounds are plenty: each needs another run to
  // start and end in between).
  for (int round = 0; round < 16; ++round) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return InstallLockResult::kFailed;
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &lock) != 0) {
      const int error = errno;
      close(fd);
      return error == EACCES || error == EAGAIN ? InstallLockResult::kBusy
                                                : InstallLockResult::kFailed;
    }
    struct stat opened, named;
    if (fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
        opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
      impl_->fd = fd;
      impl_->path = path;
      return InstallLockResult::kLocked;
    }
    close(fd);
  }
  return InstallLockResult::kBusy;
}

void InstallLock::Release() {
  if (impl_->fd < 0) return;
  // Removed while still locked, so that nobody locks the name in between.
  unlink(impl_->path.c_str());
  close(impl_->fd);
  impl_->fd = -1;
  impl_->path.clear();
}

}  // namespace corvane::platform
