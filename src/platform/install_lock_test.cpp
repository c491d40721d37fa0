// What every backend's installation lock must do. Another process holding
// the lock is tried in the backends' own tests (posix: a forked child).

#include "platform/install_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::platform {
namespace {

using test_support::ScratchFolder;
using test_support::WriteTestFile;

TEST(InstallLockTest, HeldUntilReleasedAndTheFileGoesWithIt) {
  ScratchFolder dir("install-lock");
  const std::string path = dir / "patch.lock";
  InstallLock lock;
  EXPECT_FALSE(lock.held());
  ASSERT_EQ(lock.Acquire(path.c_str()), InstallLockResult::kLocked);
  EXPECT_TRUE(lock.held());
  EXPECT_TRUE(std::filesystem::exists(path));
  lock.Release();
  EXPECT_FALSE(lock.held());
  EXPECT_FALSE(std::filesystem::exists(path));
  lock.Release();  // nothing held: nothing happens
  ASSERT_EQ(lock.Acquire(path.c_str()), InstallLockResult::kLocked);
}

TEST(InstallLockTest, FileLeftByAKilledRunIsTakenOver) {
  ScratchFolder dir("install-lock");
  const std::string path = dir / "patch.lock";
  ASSERT_TRUE(WriteTestFile(path, "left behind"));
  InstallLock lock;
  EXPECT_EQ(lock.Acquire(path.c_str()), InstallLockResult::kLocked);
  {
    InstallLock released_by_its_end;
    EXPECT_EQ(released_by_its_end.Acquire((dir / "other.lock").c_str()),
              InstallLockResult::kLocked);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "other.lock"));
}

TEST(InstallLockTest, FolderThatIsNotThereIsNoLock) {
  ScratchFolder dir("install-lock");
  InstallLock lock;
  EXPECT_EQ(lock.Acquire((dir / "no-such-folder/patch.lock").c_str()), InstallLockResult::kFailed);
  EXPECT_FALSE(lock.held());
}

#ifdef _WIN32
// The file is opened without sharing: a second holder is refused even in the
// same process.
TEST(InstallLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  ScratchFolder dir("install-lock");
  const std::string path = dir / "patch.lock";
  InstallLock first, second;
  ASSERT_EQ(first.Acquire(path.c_str()), InstallLockResult::kLocked);
  EXPECT_EQ(second.Acquire(path.c_str()), InstallLockResult::kBusy);
  first.Release();
  EXPECT_EQ(second.Acquire(path.c_str()), InstallLockResult::kLocked);
}
#endif

}  // namespace
}  // namespace corvane::platform
