#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/host_path.h"
#include "platform/posix/posix_test_dir.h"

namespace corvane::platform {
namespace {

using testing::ScopedEnv;
using testing::ScopedTempDir;

class PosixHostPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A prefix whose drive C: is a link to drive_c, as Wine makes it.
    std::filesystem::create_directories(prefix_ / "drive_c/Games/Corvane/addons");
    std::filesystem::create_directories(prefix_ / "dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix_ / "dosdevices/c:");
    ASSERT_TRUE(testing::WriteTestFile(prefix_ / "drive_c/Games/Corvane/addons/x.vbk", "bank"));
  }
  ScopedTempDir prefix_;
  ScopedEnv env_{"WINEPREFIX", prefix_.path()};
};

TEST_F(PosixHostPathTest, DriveLetterAndComponentsResolveWithoutRegardToCase) {
  const std::string expected = prefix_ / "dosdevices/c:/Games/Corvane/addons/x.vbk";
  EXPECT_EQ(HostPath("C:\\GAMES\\corvane\\ADDONS\\X.VBK"), expected);
  EXPECT_EQ(HostPath("c:\\Games\\Corvane\\addons\\x.vbk"), expected);
  EXPECT_EQ(testing::ReadTestText(HostPath("C:\\games\\CORVANE\\Addons\\X.Vbk")), "bank");
}

TEST_F(PosixHostPathTest, MissingComponentsKeepTheCaseGiven) {
  EXPECT_EQ(HostPath("C:\\GAMES\\Corvane\\New\\Sub\\File.TXT"),
            prefix_ / "dosdevices/c:/Games/Corvane/New/Sub/File.TXT");
  EXPECT_EQ(HostPath("C:\\Games\\Corvane\\addons\\NEW.VBK"),
            prefix_ / "dosdevices/c:/Games/Corvane/addons/NEW.VBK");
}

TEST_F(PosixHostPathTest, ExactNameWinsOverACaseVariant) {
  ASSERT_TRUE(testing::WriteTestFile(prefix_ / "drive_c/Games/Corvane/addons/X.VBK", "upper"));
  EXPECT_EQ(HostPath("C:\\Games\\Corvane\\addons\\X.VBK"),
            prefix_ / "dosdevices/c:/Games/Corvane/addons/X.VBK");
  EXPECT_EQ(HostPath("C:\\Games\\Corvane\\addons\\x.vbk"),
            prefix_ / "dosdevices/c:/Games/Corvane/addons/x.vbk");
}

TEST_F(PosixHostPathTest, PosixAndRelativePathsAndCodePage1252Names) {
  const std::string dir = prefix_ / "drive_c/Games";
  EXPECT_EQ(HostPath((dir + "\\CORVANE\\ADDONS").c_str()), dir + "/Corvane/addons");
  ASSERT_TRUE(testing::WriteTestFile(dir + "/Caf\xc3\xa9.txt", "utf-8 name"));
  // A code page 1252 name (é = 0xE9) finds the UTF-8 name on disk.
  EXPECT_EQ(HostPath((dir + "\\CAF\xe9.TXT").c_str()), dir + "/Caf\xc3\xa9.txt");
  EXPECT_EQ(HostPath("relative\\file.txt"), "relative/file.txt");
  EXPECT_EQ(HostPath(""), "");
}

TEST_F(PosixHostPathTest, CreateDirectoriesMakesMissingLevelsWithTheCaseGiven) {
  ASSERT_TRUE(CreateDirectories("C:\\GAMES\\Corvane\\Addons\\Maps\\North"));
  struct stat st;
  EXPECT_EQ(stat((prefix_ / "drive_c/Games/Corvane/addons/Maps/North").c_str(), &st), 0);
  EXPECT_FALSE(std::filesystem::exists(prefix_ / "drive_c/GAMES"));
  EXPECT_FALSE(std::filesystem::exists(prefix_ / "drive_c/Games/Corvane/Addons"));
  EXPECT_TRUE(CreateDirectories("C:\\Games"));  // existing
  EXPECT_FALSE(CreateDirectories("C:\\Games\\Corvane\\addons\\x.vbk\\below-a-file"));
}

}  // namespace
}  // namespace corvane::platform
