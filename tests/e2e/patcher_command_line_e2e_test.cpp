// The native patcher's command line: what it answers to --help and
// --version, which command lines it refuses (exit 2, before anything is
// read), and that --prefix names the Wine prefix ahead of $WINEPREFIX.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "patcher_process.h"
#include "payload_builder.h"
#include "sample_game.h"
#include "scratch_install.h"

namespace corvane::e2e {
namespace {

class PatcherCommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    install_ = std::make_unique<ScratchInstall>(std::string("cli-") + info->name());
  }

  PatcherRun Run(std::vector<std::string> arguments, const std::string& wine_prefix = "") {
    PatcherOptions options;
    options.program = PatcherProgram();
    options.arguments = std::move(arguments);
    options.wine_prefix = wine_prefix.empty() ? install_->prefix() : wine_prefix;
    options.working_directory = install_->root();
    options.timeout_seconds = 30;
    return RunPatcher(options);
  }

  std::unique_ptr<ScratchInstall> install_;
};

TEST_F(PatcherCommandLine, HelpAndVersionAnswerAndTouchNothing) {
  for (const char* help : {"--help", "-h"}) {
    PatcherRun run = Run({help});
    EXPECT_EQ(run.exit_code, 0) << help;
    EXPECT_NE(run.output.find("Usage: patcher [--prefix DIR] [PAYLOAD]"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("MAIN"), std::string::npos) << "says where it looks";
  }
  PatcherRun version = Run({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.output.rfind("patcher ", 0), 0u) << version.output;
  EXPECT_FALSE(std::filesystem::exists(install_->root() + "/patch.log")) << "nothing was run";
}

TEST_F(PatcherCommandLine, MisuseExitsTwoWithTheReason) {
  const std::string missing = install_->root() + "/no-such-patch.dll";
  struct Case {
    std::vector<std::string> arguments;
    const char* said;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"a.dll", "b.dll"}, "more than one payload file"},
      {{missing}, "does not exist"},
      {{"--prefix"}, "--prefix needs a folder"},
      {{"--prefix", install_->root() + "/nowhere"}, "is not a folder"},
      {{"--prefix=" + install_->root() + "/nowhere", "x.dll"}, "is not a folder"},
  };
  for (const Case& c : cases) {
    PatcherRun run = Run(c.arguments);
    EXPECT_EQ(run.exit_code, 2) << c.said;
    EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("patcher --help"), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(install_->root() + "/patch.log")) << "nothing was run";
}

TEST_F(PatcherCommandLine, PrefixOptionWinsOverTheEnvironment) {
  ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
  PayloadBuilder builder(install_->root() + "/work");
  SamplePatchOptions options;
  options.from_minor = 0;
  options.to_minor = 1;
  MakeSamplePatch(&builder, options);
  ASSERT_TRUE(builder.Seal());
  const std::string payload = install_->root() + "/patch with spaces.dll";
  ASSERT_TRUE(builder.WriteDll(payload));
  const std::string empty_prefix = install_->root() + "/empty-prefix";
  std::filesystem::create_directories(empty_prefix);

  // $WINEPREFIX names a prefix without the game: not found there ...
  PatcherRun elsewhere = Run({payload}, empty_prefix);
  EXPECT_EQ(elsewhere.exit_code, 1) << elsewhere.output;
  EXPECT_NE(elsewhere.output.find(empty_prefix + "/system.reg"), std::string::npos)
      << elsewhere.output;
  // ... while --prefix names the one that has it.
  PatcherRun run = Run({"--prefix", install_->prefix(), "--", payload}, empty_prefix);
  EXPECT_EQ(run.exit_code, 0) << run.output;
}

}  // namespace
}  // namespace corvane::e2e
