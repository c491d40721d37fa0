// The posix backend: the Wine prefix's registry files, a 64-bit prefix's
// Wow6432Node view and the wineserver's lock. What every backend does is in
// ../registry_test.cpp.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/posix/posix_test_dir.h"
#include "platform/registry.h"
#include "support/fake_prefix_server.h"

namespace corvane::platform {
namespace {

using testing::ReadTestText;
using testing::ScopedEnv;
using testing::ScopedTempDir;
using testing::WriteTestFile;

const std::string kHeader64 =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";

// HKEY_LOCAL_MACHINE is system.reg, HKEY_CURRENT_USER user.reg; texts are
// written as the file format escapes them.
TEST(PosixRegistryTest, EachRootIsWrittenToItsOwnFileOfThePrefix) {
  ScopedTempDir prefix;
  ScopedEnv env("WINEPREFIX", prefix.path());
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane\\Game", "MAIN",
                                "C:\\Games\\X\xe9"),
            RegistryStatus::kOk);
  ASSERT_EQ(
      WriteRegistryString(RegistryRoot::kCurrentUser, "Software\\Corvane\\Game", "Lang", "de"),
      RegistryStatus::kOk);
  const std::string system = ReadTestText(prefix / "system.reg");
  const std::string user = ReadTestText(prefix / "user.reg");
  EXPECT_NE(system.find("\"MAIN\"=\"C:\\\\Games\\\\X\\xe9\""), std::string::npos);
  EXPECT_EQ(system.find("Lang"), std::string::npos);
  EXPECT_NE(user.find("\"Lang\"=\"de\""), std::string::npos);
  EXPECT_EQ(user.find("MAIN"), std::string::npos);
  // A player told where to look is given the file too.
  EXPECT_EQ(DescribeRegistryKey(RegistryRoot::kLocalMachine, "Software\\Corvane"),
            "HKEY_LOCAL_MACHINE\\Software\\Corvane in " + (prefix / "system.reg"));
  EXPECT_EQ(DescribeRegistryKey(RegistryRoot::kCurrentUser, "Software\\Corvane"),
            "HKEY_CURRENT_USER\\Software\\Corvane in " + (prefix / "user.reg"));
}

TEST(PosixRegistryTest, SixtyFourBitPrefixGivesTheWow6432NodeView) {
  ScopedTempDir prefix;
  ScopedEnv env("WINEPREFIX", prefix.path());
  ASSERT_TRUE(WriteTestFile(
      prefix / "system.reg",
      kHeader64 + "\n[Software\\\\Corvane] 1\n\"MAIN\"=\"64-bit view\"\n"
                  "\n[Software\\\\Wow6432Node\\\\Corvane] 1\n\"MAIN\"=\"32-bit view\"\n"));
  std::string value;
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane", "MAIN", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "32-bit view");
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "SOFTWARE\\Corvane\\New", "v", "1"),
            RegistryStatus::kOk);
  EXPECT_NE(ReadTestText(prefix / "system.reg").find("[SOFTWARE\\\\Wow6432Node\\\\Corvane\\\\New]"),
            std::string::npos);
  // The user's Software is shared by both views.
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, "Software\\Corvane", "v", "1"),
            RegistryStatus::kOk);
  EXPECT_NE(ReadTestText(prefix / "user.reg").find("[Software\\\\Corvane]"), std::string::npos);
}

TEST(PosixRegistryTest, WriteReplacesTheFileKeepingItsModeAndLeavesNoTemporary) {
  ScopedTempDir prefix;
  ScopedEnv env("WINEPREFIX", prefix.path());
  const std::string original = kHeader64 + "\n[Software\\\\A] 1\n\"x\"=\"y\"\n";
  ASSERT_TRUE(WriteTestFile(prefix / "user.reg", original));
  chmod((prefix / "user.reg").c_str(), 0600);
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, "Software\\B", "n", "v"),
            RegistryStatus::kOk);
  const std::string text = ReadTestText(prefix / "user.reg");
  EXPECT_EQ(text.substr(0, original.size()), original);
  struct stat st;
  ASSERT_EQ(stat((prefix / "user.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(prefix.path()))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST(PosixRegistryTest, RefusesToTouchAFileThatIsNoRegistry) {
  ScopedTempDir prefix;
  ScopedEnv env("WINEPREFIX", prefix.path());
  ASSERT_TRUE(WriteTestFile(prefix / "system.reg", "something else\n"));
  std::string message;
  EXPECT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\A", "n", "v", &message),
            RegistryStatus::kFailed);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(ReadTestText(prefix / "system.reg"), "something else\n");
  ScopedEnv missing("WINEPREFIX", prefix / "does-not-exist");
  EXPECT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\A", "n", "v"),
            RegistryStatus::kFailed);
}

TEST(PosixRegistryTest, RefusesToWriteWhileThePrefixServerHoldsItsLock) {
  ScopedTempDir prefix;
  ScopedEnv env("WINEPREFIX", prefix.path());
  const std::string original = kHeader64;
  ASSERT_TRUE(WriteTestFile(prefix / "system.reg", original));
  const std::string dir = test_support::PrefixServerDir(prefix.path());
  ASSERT_FALSE(dir.empty());
  std::filesystem::create_directories(dir);
  const std::string lock_path = dir + "/lock";
  ASSERT_TRUE(WriteTestFile(lock_path, ""));

  // A lock file nobody holds is what a crashed server leaves: no refusal.
  EXPECT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\A", "n", "1"),
            RegistryStatus::kOk);
  std::string where = "untouched";
  EXPECT_FALSE(RegistryInUse(&where));
  EXPECT_EQ(where, "untouched");

  // The server holds the lock from another process (our own locks are invisible to us).
  test_support::FakePrefixServer server;
  ASSERT_TRUE(server.Start(prefix.path()));
  const std::string before = ReadTestText(prefix / "system.reg");
  std::string message;
  EXPECT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\A", "n", "2", &message),
            RegistryStatus::kServerRunning);
  EXPECT_NE(message.find("wineserver"), std::string::npos);
  EXPECT_TRUE(RegistryInUse(&where));
  EXPECT_EQ(where, prefix.path());
  EXPECT_EQ(ReadTestText(prefix / "system.reg"), before);
  std::string value;
  EXPECT_EQ(ReadRegistryString(RegistryRoot::kLocalMachine, "Software\\A", "n", &value),
            RegistryStatus::kOk);
}

}  // namespace
}  // namespace corvane::platform
