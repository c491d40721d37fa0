#include "platform/posix/wine_environment.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/posix/posix_test_dir.h"
#include "platform/registry.h"

namespace corvane::platform {
namespace {

using testing::ScopedEnv;
using testing::ScopedTempDir;
using testing::WriteTestFile;

// The keys Wine writes into a new prefix that the expansion reads, cut down.
std::string MachineFile(bool win64, const std::string& extra = "") {
  return WineRegistryFile::EmptyFile(false, win64) +
         "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] "
         "1\n\"SystemRoot\"=\"C:\\\\windows\"\n"
         "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList] 1\n"
         "\"ProgramData\"=str(2):\"C:\\\\ProgramData\"\n"
         "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
         "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\"ProgramFilesDir (x86)\"=\"C:\\\\Program "
         "Files (x86)\"\n"
         "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
         "\"windir\"=str(2):\"%SystemRoot%\"\n\"TEMP\"=str(2):\"%SystemRoot%\\\\temp\"\n"
         "\"LOOP\"=str(2):\"<%LOOP%>\"\n" +
         extra;
}

std::string UserFile() {
  return WineRegistryFile::EmptyFile(true, false) +
         "\n[Environment] 1\n\"TEMP\"=\"C:\\\\users\\\\me\\\\Temp\"\n\"GAMES\"=\"D:\\\\Spiele\"\n";
}

std::string Read(const char* name) {
  std::string value;
  const RegistryStatus status =
      ReadRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane\\Game", name, &value);
  return status == RegistryStatus::kOk ? value : "<not read>";
}

// The game's folder stored as an expandable string reads as the folder, as
// the Windows program sees it; a plain string keeps its percent signs.
TEST(WineEnvironmentTest, ExpandableMainValueReadsAsTheFolder) {
  for (const bool win64 : {false, true}) {
    SCOPED_TRACE(win64 ? "64-bit prefix" : "32-bit prefix");
    ScopedTempDir prefix;
    ScopedEnv env("WINEPREFIX", prefix.path());
    const std::string game =
        std::string(win64 ? "\n[Software\\\\Wow6432Node" : "\n[Software") +
        "\\\\Corvane\\\\Game] 1\n"
        "\"MAIN\"=str(2):\"%ProgramFiles%\\\\Game\"\n"
        "\"Hex\"=hex(2):25,00,77,00,69,00,6e,00,64,00,69,00,72,00,25,00,00,00\n"
        "\"Plain\"=\"%ProgramFiles%\\\\Game\"\n";
    ASSERT_TRUE(WriteTestFile(prefix / "system.reg", MachineFile(win64, game)));
    ASSERT_TRUE(WriteTestFile(prefix / "user.reg", UserFile()));
    EXPECT_EQ(Read("MAIN"), win64 ? "C:\\Program Files (x86)\\Game" : "C:\\Program Files\\Game");
    EXPECT_EQ(Read("Hex"), "C:\\windows");
    EXPECT_EQ(Read("Plain"), "%ProgramFiles%\\Game");
  }
}

TEST(WineEnvironmentTest, LooksUpUserThenSystemThenWineFolders) {
  WineRegistryFile machine;
  ASSERT_TRUE(machine.Load(MachineFile(false)));
  WineRegistryFile user;
  ASSERT_TRUE(user.Load(UserFile()));
  // The user's own variable hides the system's one; names match in any case.
  EXPECT_EQ(ExpandWineEnvironment(u"%temp%|%Games%\\X", machine, &user),
            u"C:\\users\\me\\Temp|D:\\Spiele\\X");
  EXPECT_EQ(ExpandWineEnvironment(u"%TEMP%", machine, nullptr), u"C:\\windows\\temp");
  // Variables within variables, and the folders Wine sets itself.
  EXPECT_EQ(ExpandWineEnvironment(u"%WINDIR%;%SystemDrive%;%ALLUSERSPROFILE%", machine, &user),
            u"C:\\windows;C:;C:\\ProgramData");
}

TEST(WineEnvironmentTest, LeavesWhatIsNoVariableAsItIs) {
  WineRegistryFile machine;
  ASSERT_TRUE(machine.Load(MachineFile(false)));
  EXPECT_EQ(ExpandWineEnvironment(u"%NOPE%\\%windir%", machine, nullptr), u"%NOPE%\\C:\\windows");
  EXPECT_EQ(ExpandWineEnvironment(u"100% sure %% %", machine, nullptr), u"100% sure %% %");
  // The closing sign of an unknown name may open the next one.
  EXPECT_EQ(ExpandWineEnvironment(u"50%windir%", machine, nullptr), u"50C:\\windows");
  EXPECT_EQ(ExpandWineEnvironment(u"a%b%windir%", machine, nullptr), u"a%bC:\\windows");
  // A variable that names itself ends after a few levels.
  const std::u16string loop = ExpandWineEnvironment(u"%LOOP%", machine, nullptr);
  EXPECT_EQ(loop.substr(0, 4), u"<<<<");
  EXPECT_NE(loop.find(u"%LOOP%"), std::u16string::npos);
}

}  // namespace
}  // namespace corvane::platform
