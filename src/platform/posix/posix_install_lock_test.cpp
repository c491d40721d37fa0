#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/install_lock.h"
#include "platform/posix/posix_test_dir.h"

namespace corvane::platform {
namespace {

using testing::ScopedTempDir;
using testing::WriteTestFile;

// Record locks belong to a process: another run is another process.
InstallLockResult AcquireInChild(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    InstallLock lock;
    _exit(static_cast<int>(lock.Acquire(path.c_str())));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<InstallLockResult>(WIFEXITED(status) ? WEXITSTATUS(status) : 99);
}

// The backend-neutral behaviour is in the contract test (install_lock_test.cpp).
TEST(PosixInstallLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  ScopedTempDir dir;
  const std::string path = dir / "patch.lock";
  InstallLock lock;
  ASSERT_EQ(lock.Acquire(path.c_str()), InstallLockResult::kLocked);
  EXPECT_TRUE(lock.held());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(AcquireInChild(path), InstallLockResult::kBusy);
  lock.Release();
  EXPECT_FALSE(lock.held());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(AcquireInChild(path), InstallLockResult::kLocked);
}

TEST(PosixInstallLockTest, LinkIsNoLock) {
  ScopedTempDir dir;
  const std::string target = dir / "elsewhere";
  ASSERT_TRUE(WriteTestFile(target, "keep"));
  const std::string link = dir / "patch.lock";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  InstallLock lock;
  EXPECT_EQ(lock.Acquire(link.c_str()), InstallLockResult::kFailed);
  EXPECT_FALSE(lock.held());
  lock.Release();  // nothing held: the link and its target stay
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

}  // namespace
}  // namespace corvane::platform
