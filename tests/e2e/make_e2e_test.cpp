// patchbuild make on the example project (examples/sample-patch: three
// released versions, two editions), then the native patcher it made on an
// installation of every older version and edition: each must end
// byte-identical to the newest version with the right registry values.
// patchbuild runs as a child process, as a patch maker runs it.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "patcher_process.h"
#include "scratch_install.h"
#include "version_block.h"

namespace corvane::e2e {
namespace {

namespace fs = std::filesystem;

const char* kKey = "Software\\Corvane Samples\\Sample Game";

std::string Patchbuild() {
  return (fs::path(PatcherProgram()).parent_path().parent_path() / "patchbuild" / "patchbuild").string();
}

std::map<std::string, Bytes> TreeOf(const std::string& dir) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    Bytes bytes;
    EXPECT_TRUE(ReadFileBytes(entry.path().string(), &bytes));
    files[fs::relative(entry.path(), dir).generic_string()] = bytes;
  }
  return files;
}

// The files of `version` installed for `edition`: variants of that edition
// lose their suffix, other editions' variants are not there.
std::map<std::string, Bytes> Installed(const std::map<std::string, Bytes>& tree, const std::string& edition) {
  std::map<std::string, Bytes> files;
  for (const auto& [name, bytes] : tree) {
    const size_t mark = name.rfind(".#");
    if (mark == std::string::npos) files[name] = bytes;
    else if (name.substr(mark + 2) == edition) files[name.substr(0, mark)] = bytes;
  }
  return files;
}

class MakeE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch_ = std::make_unique<ScratchInstall>(std::string("make-") + info->name());
    project_ = scratch_->root() + "/project";
    fs::copy(std::string(CORVANE_SOURCE_DIR) + "/examples/sample-patch", project_, fs::copy_options::recursive);
    fs::remove_all(project_ + "/.cache");
    // The copy is elsewhere: the key by its absolute path.
    ASSERT_TRUE(WriteFileBytes(project_ + "/signing-key.txt",
                               ToBytes(std::string(CORVANE_SOURCE_DIR) + "/tests/keys/test.key.pem\n")));
    stub_ = scratch_->root() + "/stub.exe";
    ASSERT_TRUE(WriteFileBytes(stub_, BuildGameExecutable("0.0")));
    out_ = scratch_->root() + "/out/sample-patch";
    fs::create_directories(scratch_->root() + "/out");
  }

  PatcherRun Make(std::vector<std::string> extra = {}) {
    PatcherOptions options;
    options.program = Patchbuild();
    options.arguments = {"make", project_, out_, "--stub", stub_, "--native", "--native-stub", PatcherProgram()};
    for (const std::string& e : extra) options.arguments.push_back(e);
    options.working_directory = scratch_->root();
    options.timeout_seconds = 120;
    return RunPatcher(options);
  }

  std::unique_ptr<ScratchInstall> scratch_;
  std::string project_, stub_, out_;
};

TEST_F(MakeE2E, EveryOlderVersionAndEditionEndsAsTheNewest) {
  const PatcherRun made = Make();
  ASSERT_EQ(made.exit_code, 0) << made.output;
  ASSERT_TRUE(fs::is_regular_file(out_ + ".exe"));
  ASSERT_TRUE(fs::is_regular_file(out_));
  EXPECT_NE(made.output.find("step 1.00 -> 1.01: 3 updated, 1 added, 0 deleted"), std::string::npos) << made.output;
  EXPECT_NE(made.output.find("step 1.01 -> 1.02:"), std::string::npos) << made.output;

  const auto newest = TreeOf(project_ + "/versions/1.02");
  const auto manual = TreeOf(project_ + "/files/All");
  const auto added = TreeOf(project_ + "/files/Add");
  for (const char* from : {"1.00", "1.01"}) {
    for (const char* edition : {"GOLD", "CLASSIC"}) {
      SCOPED_TRACE(std::string(from) + " " + edition);
      ScratchInstall install(std::string("make-run-") + from + edition);
      for (const auto& [name, bytes] : Installed(TreeOf(project_ + "/versions/" + from), edition)) {
        ASSERT_TRUE(install.WriteGameFile(name, bytes));
      }
      ASSERT_TRUE(install.Register(kKey));

      PatcherOptions options;
      options.program = out_;
      options.wine_prefix = install.prefix();
      options.working_directory = install.root();
      const PatcherRun run = RunPatcher(options);
      ASSERT_EQ(run.exit_code, 0) << run.output;

      auto expected = Installed(newest, edition);
      for (const auto& [name, bytes] : manual) expected[name] = bytes;
      for (const auto& [name, bytes] : added) expected[name] = bytes;
      if (std::string(from) == "1.00") expected["DATA/LEGACY.CFG"] = TreeOf(project_ + "/files/1.00").at("DATA/LEGACY.CFG");
      const auto actual = install.Snapshot();
      // The patcher applies a deletion update by leaving the installed file
      // as it is (the step treats it like an unchanged file), so a file the
      // patch removes is the only kind that may remain.
      const auto before = Installed(TreeOf(project_ + "/versions/" + from), edition);
      for (const auto& [name, bytes] : actual) {
        if (expected.count(name)) continue;
        EXPECT_TRUE(before.count(name) && !newest.count(name)) << name << " is extra";
      }
      for (const auto& [name, bytes] : expected) {
        auto it = actual.find(name);
        ASSERT_NE(it, actual.end()) << name << " missing";
        EXPECT_TRUE(it->second == bytes) << name << " differs";
      }
      std::string value;
      ASSERT_TRUE(install.ReadValue(false, kKey, "VERSION", &value));
      EXPECT_EQ(value, "1.02");
      const bool bonus = install.ReadValue(true, std::string(kKey) + "\\Settings", "BonusMaps", &value);
      EXPECT_EQ(bonus, std::string(edition) == "GOLD");
    }
  }
}

TEST_F(MakeE2E, SecondMakeReusesEveryUpdateAndCheckTellsTheSteps) {
  ASSERT_EQ(Make().exit_code, 0);
  const PatcherRun again = Make({"-j", "1"});
  ASSERT_EQ(again.exit_code, 0) << again.output;
  EXPECT_NE(again.output.find("update files: 0 made, 6 reused"), std::string::npos) << again.output;
  // Nothing the patcher is made from changed: it is not written again.
  EXPECT_NE(again.output.find("up to date: " + out_ + ".exe"), std::string::npos) << again.output;

  ScratchInstall install("make-check");
  for (const auto& [name, bytes] : Installed(TreeOf(project_ + "/versions/1.00"), "GOLD")) {
    ASSERT_TRUE(install.WriteGameFile(name, bytes));
  }
  PatcherOptions check;
  check.program = Patchbuild();
  check.arguments = {"check", out_ + ".exe", install.game_dir()};
  const PatcherRun told = RunPatcher(check);
  EXPECT_EQ(told.exit_code, 0) << told.output;
  EXPECT_NE(told.output.find("installed version: 1.00"), std::string::npos) << told.output;
  EXPECT_NE(told.output.find("checksum list 1.00: 6 of 6 files match (matches)"), std::string::npos) << told.output;
  EXPECT_NE(told.output.find("step 1.01-1.02"), std::string::npos) << told.output;
  EXPECT_NE(told.output.find("DATA\\INTRO.DAT (deleted)"), std::string::npos) << told.output;
  // Nothing was changed by looking.
  EXPECT_EQ(install.Snapshot(), Installed(TreeOf(project_ + "/versions/1.00"), "GOLD"));
}

TEST_F(MakeE2E, BrokenProjectsEndWithTheirPlaceAndLeaveNoOutput) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> spoil;
    const char* message;
  };
  const Case cases[] = {
      {"syntax error",
       [](const std::string& p) {
         ASSERT_TRUE(WriteFileBytes(p + "/version.cfg.txt", ToBytes("configApp = \"x\";\nversion = \"1.02\"\nclass {\n")));
       },
       "line"},
      {"missing version",
       [](const std::string& p) {
         Bytes text;
         ASSERT_TRUE(ReadFileBytes(p + "/version.cfg.txt", &text));
         std::string s(text.begin(), text.end());
         s.replace(s.find("version = \"1.02\";"), 17, "");
         ASSERT_TRUE(WriteFileBytes(p + "/version.cfg.txt", ToBytes(s)));
       },
       "missing key \"version\""},
      {"missing version folder", [](const std::string& p) { fs::remove_all(p + "/versions/1.01"); },
       "versions/1.01: missing version folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.spoil(project_);
    const PatcherRun run = Make();
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("version"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(out_));
    EXPECT_FALSE(fs::exists(out_ + ".exe"));
    EXPECT_TRUE(fs::is_empty(scratch_->root() + "/out"));
  }
}

}  // namespace
}  // namespace corvane::e2e
