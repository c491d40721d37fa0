#pragma once

// A lock that lets one patch run at a time work on an installation: a lock
// file in the installation folder, held from just after the game is found
// until the run ends, and removed then. The operating system drops the lock
// when the process ends however it ends, so a killed run never blocks the
// next; the file it leaves behind is taken over by the next run.
//
// win32: the file opened with no sharing (a second open fails with a sharing
// violation) and deleted when its handle closes, plus LockFileEx on its first
// byte, which Wine maps to a POSIX record lock.
// posix: open (never through a link) and an fcntl write lock on the whole file;
// a file replaced or removed between the open and the lock is opened again.
// Record locks belong to the process and end when it closes any descriptor of
// the file: nothing else in the run may open the lock file.

#include <memory>

namespace corvane::platform {

enum class InstallLockResult {
  kLocked,  // this run holds the lock
  kBusy,    // another process holds it
  kFailed,  // the lock file could not be made (e.g. a folder that may not be written)
};

class InstallLock {
 public:
  InstallLock();
  ~InstallLock();  // Release()
  InstallLock(const InstallLock&) = delete;
  InstallLock& operator=(const InstallLock&) = delete;

  // Takes the lock on the file `lock_path` (a Windows path), creating it.
  // Never waits.
  InstallLockResult Acquire(const char* lock_path);
  // Removes the lock file and drops the lock; nothing when not held.
  void Release();
  bool held() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::platform
