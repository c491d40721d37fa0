// A patch run killed at random moments (SIGKILL: no clean-up of any kind)
// must leave every installed file whole, at one of the versions it passes
// through, and running the same patch again must finish the job.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "patcher_process.h"
#include "payload_builder.h"
#include "sample_game.h"
#include "scratch_install.h"

namespace corvane::e2e {
namespace {

constexpr int kScale = 12;      // data files of 96 KB to 360 KB
constexpr int kExtraFiles = 24;  // 28 files in all, each changing every version
constexpr int kKills = 24;

std::string Slashes(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  return name;
}

class InterruptionE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = std::make_unique<ScratchInstall>("interruption");
    PayloadBuilder builder(install_->root() + "/work");
    SamplePatchOptions options;
    options.from_minor = 0;
    options.to_minor = 2;
    options.scale = kScale;
    options.extra_files = kExtraFiles;
    MakeSamplePatch(&builder, options);
    builder.Add("All\\MAPS\\NEW.MAP", ToBytes("a map new in 1.02"));
    ParamClass* value = builder.manifest().AddClass("UpdateRegistry")->AddClass("Version");
    value->AddInt("registryUser", 0);
    value->AddText("registryPath", kSampleKey);
    value->AddText("registryName", "VERSION");
    value->AddText("registryValue", "1.02");
    ASSERT_TRUE(builder.Seal());
    payload_ = install_->root() + "/patch.dll";
    ASSERT_TRUE(builder.WriteDll(payload_));
    for (int minor = 0; minor <= 2; ++minor) {
      for (const auto& [name, bytes] : SampleGameFiles(minor, kScale, kExtraFiles)) {
        versions_[Slashes(name)].push_back(bytes);
      }
    }
    final_ = SampleGameFiles(2, kScale, kExtraFiles);
    final_["MAPS\\NEW.MAP"] = ToBytes("a map new in 1.02");
  }

  void InstallOld() {
    std::error_code ignored;
    std::filesystem::remove_all(install_->game_dir(), ignored);
    std::filesystem::create_directories(install_->game_dir());
    ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0, kScale, kExtraFiles)));
  }

  PatcherRun Run(double kill_after) {
    PatcherOptions options;
    options.program = PatcherProgram();
    options.arguments = {payload_};
    options.wine_prefix = install_->prefix();
    options.working_directory = install_->root();
    options.kill_after_seconds = kill_after;
    options.timeout_seconds = 120;
    return RunPatcher(options);
  }

  // Every file of the game is whole, at a version it passes through; the
  // leftovers of an interrupted replacement (".tmp", ".part", extracted
  // ".upd") may lie beside them. Answers the set of versions found.
  std::set<size_t> ExpectEveryFileWhole(const std::string& when) {
    std::set<size_t> found;
    std::map<std::string, Bytes> files = install_->Snapshot();
    for (const auto& [name, versions] : versions_) {
      auto it = files.find(name);
      if (it == files.end()) {
        ADD_FAILURE() << when << ": " << name << " is missing";
        continue;
      }
      bool known = false;
      for (size_t v = 0; v < versions.size(); ++v) {
        // A file unchanged between versions tells nothing about the step.
        if (it->second == versions[v] && !known && versions.front() != versions.back()) found.insert(v);
        known = known || it->second == versions[v];
      }
      EXPECT_TRUE(known) << when << ": " << name << " is none of its versions (" << it->second.size()
                         << " bytes)";
    }
    return found;
  }

  void ExpectFinal(const std::string& when) {
    std::map<std::string, Bytes> files = install_->Snapshot();
    EXPECT_EQ(files.size(), final_.size()) << when;
    for (const auto& [name, bytes] : final_) {
      auto it = files.find(Slashes(name));
      ASSERT_NE(it, files.end()) << when << ": " << name << " is missing";
      EXPECT_TRUE(it->second == bytes) << when << ": " << name << " differs";
    }
    std::string value;
    EXPECT_TRUE(install_->ReadValue(false, kSampleKey, "VERSION", &value)) << when;
    EXPECT_EQ(value, "1.02") << when;
  }

  std::unique_ptr<ScratchInstall> install_;
  std::string payload_;
  std::map<std::string, std::vector<Bytes>> versions_;
  FileSet final_;
};

TEST_F(InterruptionE2E, KilledRunsLeaveWholeFilesAndRunningAgainFinishes) {
  InstallOld();
  auto start = std::chrono::steady_clock::now();
  PatcherRun full = Run(0);
  double duration = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(full.exit_code, 0) << full.output;
  ExpectFinal("uninterrupted run");

  std::mt19937 random(20261208);
  // The first run also warmed the caches; later runs are rarely slower.
  std::uniform_real_distribution<double> moment(0.0, duration * 0.8);
  int interrupted = 0;
  int mixed = 0;  // kills that left files of two versions: the resumed step
  for (int i = 0; i < kKills; ++i) {
    double kill_after = moment(random);
    std::string when = "killed after " + std::to_string(kill_after) + " s of " + std::to_string(duration);
    SCOPED_TRACE(when);
    InstallOld();
    std::error_code ignored;
    std::filesystem::remove(install_->prefix() + "/system.reg", ignored);
    ASSERT_TRUE(install_->Register(kSampleKey));
    PatcherRun killed = Run(kill_after);
    if (killed.signal == SIGKILL) ++interrupted;
    if (ExpectEveryFileWhole(when).size() > 1) ++mixed;

    PatcherRun again = Run(0);
    EXPECT_EQ(again.exit_code, 0) << again.output;
    ExpectFinal(when + ", run again");
  }
  // The moments must really fall inside runs, or the test proves nothing.
  EXPECT_GE(interrupted, kKills / 4);
  EXPECT_GE(mixed, 1) << "no kill fell inside a version step";
  std::printf("run: %.2f s; %d of %d kills inside the run, %d inside a version step\n", duration,
              interrupted, kKills, mixed);
}

}  // namespace
}  // namespace corvane::e2e
