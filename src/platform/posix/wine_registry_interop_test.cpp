// The posix registry backend against Wine itself: values it writes are read by
// "wine reg query", values "wine reg add" writes are read by it. Needs the wine
// programs; each suite makes its own scratch prefix (tens of seconds).

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/posix/posix_test_dir.h"
#include "platform/registry.h"

namespace corvane::platform {
namespace {

using testing::ScopedEnv;
using testing::ScopedTempDir;

// The Wine that runs on this machine. Some kernels cannot execute 32-bit
// code: there "wine" does not start at all and only the 64-bit loader works,
// in 64-bit prefixes.
struct WineSetup {
  std::string loader;  // the command that runs Windows programs; empty: no Wine works
  bool runs_32_bit = false;
};

bool Runs(const std::string& command) {
  return std::system(
             ("WINEDEBUG=-all timeout 60 " + command + " --version >/dev/null 2>&1").c_str()) == 0;
}

const WineSetup& Wine() {
  static const WineSetup setup = [] {
    WineSetup found;
    if (std::system("command -v wineserver >/dev/null 2>&1") != 0) return found;
    if (Runs("wine")) {
      found.loader = "wine";
      found.runs_32_bit = true;
      return found;
    }
    for (const char* loader : {"wine64", "/usr/lib/wine/wine64", "/usr/lib64/wine/wine64"}) {
      if (Runs(loader)) {
        found.loader = loader;
        break;
      }
    }
    return found;
  }();
  return setup;
}

bool HaveWine() { return !Wine().loader.empty(); }

// Runs a shell command; its standard output, or "<failed>" when it failed.
std::string RunShell(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (pipe == nullptr) return "<failed>";
  std::string out;
  std::array<char, 4096> buffer;
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
    out.append(buffer.data(), got);
  const int status = pclose(pipe.release());
  return status == 0 ? out : "<failed>" + out;
}

// Ends the prefix's server so that it saves its registry and frees the files.
void StopServer() {
  RunShell("timeout 60 wineserver -k >/dev/null 2>&1; timeout 60 wineserver -w");
}

// "reg query" prints in the console's OEM code page.
std::string Query(const std::string& key, const std::string& value, const char* view = "") {
  std::string out = RunShell("timeout 120 " + Wine().loader + " reg query '" + key + "' /v '" +
                             value + "' " + view + " 2>/dev/null | iconv -f CP437 -t UTF-8");
  StopServer();
  return out;
}

// A scratch prefix for the whole suite, in the environment of every command.
class WinePrefixSuite : public ::testing::Test {
 protected:
  static void MakePrefix(const char* arch) {
    dir_ = new ScopedTempDir();
    env_[0] = new ScopedEnv("WINEPREFIX", dir_->path());
    env_[1] = new ScopedEnv("WINEARCH", arch);
    env_[2] = new ScopedEnv("WINEDEBUG", "-all");
    env_[3] = new ScopedEnv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d");
    // Command-line texts reach Wine as UTF-8.
    env_[4] = new ScopedEnv("LANG", "C.UTF-8");
    // The 64-bit loader run directly starts its helper programs through it.
    const bool loader_path = Wine().loader.find('/') != std::string::npos;
    env_[5] = loader_path ? new ScopedEnv("WINELOADER", Wine().loader) : nullptr;
    ok_ = RunShell("timeout 300 " + Wine().loader +
                   " wineboot -i >/dev/null 2>&1; timeout 60 wineserver -w") != "<failed>" &&
          std::system(("test -f '" + (*dir_ / "system.reg") + "'").c_str()) == 0;
  }
  static void TearDownTestSuite() {
    if (dir_ != nullptr) StopServer();
    for (ScopedEnv*& env : env_) {
      delete env;
      env = nullptr;
    }
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!HaveWine())
      GTEST_SKIP() << "no Wine runs here (neither wine nor the 64-bit wine64 loader starts)";
    ASSERT_TRUE(ok_) << "wineboot could not make a prefix";
  }
  static ScopedTempDir* dir_;
  static std::array<ScopedEnv*, 6> env_;
  static bool ok_;
};

ScopedTempDir* WinePrefixSuite::dir_ = nullptr;
std::array<ScopedEnv*, 6> WinePrefixSuite::env_ = {};
bool WinePrefixSuite::ok_ = false;

class WineRegistryInteropTest : public WinePrefixSuite {
 protected:
  static void SetUpTestSuite() {
    if (Wine().runs_32_bit) MakePrefix("win32");
  }
  void SetUp() override {
    if (HaveWine() && !Wine().runs_32_bit) {
      GTEST_SKIP()
          << "this machine cannot execute 32-bit code, so there is no 32-bit prefix; "
             "WineRegistryWow64InteropTest.SixtyFourBitPrefixRoundTrips runs the same checks";
    }
    WinePrefixSuite::SetUp();
  }
};

// ctest runs every test in a process of its own, so the three checks of a
// prefix share one test (one wineboot) instead of making three prefixes.
// `view` is the registry view of HKLM our backend works in: "/reg:32" in a
// 64-bit prefix, where it stands for the 32-bit program.
void ValuesWeWriteAreReadByWine(const char* view = "") {
  // Backslashes, quotes and a code page 1252 letter (0xE9).
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane\\Game", "MAIN",
                                "C:\\Games\\Tom's \"Best\" Caf\xe9"),
            RegistryStatus::kOk);
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, "Software\\Corvane", "Language",
                                "Fran\xe7"
                                "ais"),
            RegistryStatus::kOk);
  const std::string machine = Query("HKLM\\Software\\Corvane\\Game", "MAIN", view);
  EXPECT_NE(machine.find("MAIN    REG_SZ    C:\\Games\\Tom's \"Best\" Caf\xc3\xa9"),
            std::string::npos)
      << machine;
  const std::string user = Query("HKCU\\Software\\Corvane", "Language");
  EXPECT_NE(user.find("REG_SZ    Fran\xc3\xa7"
                      "ais"),
            std::string::npos)
      << user;
  // The rest of the registry is still Wine's: a value wineboot wrote.
  // (In its own view: a prefix made by 64-bit Wine alone has no 32-bit copy of it.)
  const std::string system =
      Query("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion");
  EXPECT_NE(system.find("REG_SZ"), std::string::npos) << system;
}

void ValuesWineWritesAreReadByUs(const std::string& view = "") {
  ASSERT_EQ(RunShell("timeout 120 " + Wine().loader +
                     " reg add 'HKLM\\Software\\Corvane\\FromWine' /v Path /d "
                     "'C:\\Program Files\\X \"Q\" Caf\xc3\xa9' " +
                     view + " /f >/dev/null 2>&1"),
            "");
  ASSERT_EQ(RunShell("timeout 120 " + Wine().loader +
                     " reg add 'HKCU\\Software\\Corvane\\FromWine' /ve /d 'default \xc3\xbc' /f "
                     ">/dev/null 2>&1"),
            "");
  StopServer();
  std::string value;
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kLocalMachine, "SOFTWARE\\corvane\\fromwine", "path",
                               &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "C:\\Program Files\\X \"Q\" Caf\xe9");
  ASSERT_EQ(
      ReadRegistryString(RegistryRoot::kCurrentUser, "Software\\Corvane\\FromWine", "", &value),
      RegistryStatus::kOk);
  EXPECT_EQ(value, "default \xfc");
}

void RunningServerMakesWritesRefused() {
  ASSERT_EQ(RunShell("timeout 60 wineserver -p 30 >/dev/null 2>&1"), "");
  std::string message;
  EXPECT_EQ(
      WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane", "x", "1", &message),
      RegistryStatus::kServerRunning);
  EXPECT_NE(message.find("wineserver"), std::string::npos);
  StopServer();
  EXPECT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane", "x", "1"),
            RegistryStatus::kOk);
}

TEST_F(WineRegistryInteropTest, ThirtyTwoBitPrefix) {
  {
    SCOPED_TRACE("values we write are read by wine");
    ValuesWeWriteAreReadByWine();
  }
  {
    SCOPED_TRACE("values wine writes are read by us");
    ValuesWineWritesAreReadByUs();
  }
  {
    SCOPED_TRACE("a running server makes writes refused");
    RunningServerMakesWritesRefused();
  }
}

class WineRegistryWow64InteropTest : public WinePrefixSuite {
 protected:
  static void SetUpTestSuite() {
    if (HaveWine()) MakePrefix("win64");
  }
};

TEST_F(WineRegistryWow64InteropTest, SixtyFourBitPrefixSharesThe32BitView) {
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane\\Game", "MAIN",
                                "C:\\Games\\W"),
            RegistryStatus::kOk);
  const std::string view32 = Query("HKLM\\Software\\Corvane\\Game", "MAIN", "/reg:32");
  EXPECT_NE(view32.find("REG_SZ    C:\\Games\\W"), std::string::npos) << view32;
  const std::string view64 = Query("HKLM\\Software\\Corvane\\Game", "MAIN", "/reg:64");
  EXPECT_EQ(view64.find("C:\\Games\\W"), std::string::npos) << view64;

  ASSERT_EQ(RunShell("timeout 120 " + Wine().loader +
                     " reg add 'HKLM\\Software\\Corvane\\Added' /v MAIN /d 'from32' /reg:32 /f "
                     ">/dev/null 2>&1"),
            "");
  StopServer();
  std::string value;
  ASSERT_EQ(
      ReadRegistryString(RegistryRoot::kLocalMachine, "Software\\Corvane\\Added", "MAIN", &value),
      RegistryStatus::kOk);
  EXPECT_EQ(value, "from32");
}

// The checks of the 32-bit prefix, in a 64-bit one: the only kind there is
// where 32-bit code does not run.
TEST_F(WineRegistryWow64InteropTest, SixtyFourBitPrefixRoundTrips) {
  {
    SCOPED_TRACE("values we write are read by wine");
    ValuesWeWriteAreReadByWine("/reg:32");
  }
  {
    SCOPED_TRACE("values wine writes are read by us");
    ValuesWineWritesAreReadByUs("/reg:32");
  }
  {
    SCOPED_TRACE("a running server makes writes refused");
    RunningServerMakesWritesRefused();
  }
}

}  // namespace
}  // namespace corvane::platform
