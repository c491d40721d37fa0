#include <windows.h>

#include "platform/install_lock.h"
#include "platform/win32/win32_long_path.h"

namespace corvane::platform {

struct InstallLock::Impl {
  HANDLE file = INVALID_HANDLE_VALUE;
};

InstallLock::InstallLock() : impl_(std::make_unique<Impl>()) {}
InstallLock::~InstallLock() { Release(); }

bool InstallLock::held() const { return impl_->file != INVALID_HANDLE_VALUE; }

InstallLockResult InstallLock::Acquire(const char* lock_path) {
  Release();
  // No sharing: a second run's open fails at once. Deleted when the handle
  // closes, also when the process is ended.
  HANDLE file =
      CreateFileW(WidePath(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
               ? InstallLockResult::kBusy
               : InstallLockResult::kFailed;
  }
  OVERLAPPED at = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? InstallLockResult::kBusy
                                                                      : InstallLockResult::kFailed;
  }
  impl_->file = file;
  return InstallLockResult::kLocked;
}

void InstallLock::Release() {
  if (impl_->file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED at = {};
  UnlockFileEx(impl_->file, 0, 1, 0, &at);
  CloseHandle(impl_->file);  // deletes the file
  impl_->file = INVALID_HANDLE_VALUE;
}

}  // namespace corvane::platform
