// A patch run killed at random moments (SIGKILL: no clean-up of any kind)
// must leave every installed file whole, at one of the versions it passes
// through, and running the same patch again must finish the job.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>

#include "in_process_patch_test.h"
#include "patcher_process.h"
#include "payload_builder.h"
#include "run/message_catalogue.h"
#include "run/patch_run.h"
#include "run/run_journal.h"
#include "run/step_test_support.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "support/silent_window.h"
#include "ui/console_window.h"

namespace corvane::e2e {
namespace {

constexpr int kScale = 12;       // data files of 96 KB to 360 KB
constexpr int kExtraFiles = 24;  // 28 files in all, each changing every version
constexpr int kKills = 24;

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

  // kill_after counts from the start, or from the moment the run journal
  // appears (just before the first version step changes a file) when
  // `from_journal`.
  PatcherRun Run(double kill_after, bool from_journal = false) {
    PatcherOptions options;
    options.program = PatcherProgram();
    options.arguments = {payload_};
    options.wine_prefix = install_->prefix();
    options.working_directory = install_->root();
    options.kill_after_seconds = kill_after;
    if (from_journal) options.kill_clock_file = install_->GamePath(kRunJournalName);
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
        if (it->second == versions[v] && !known && versions.front() != versions.back())
          found.insert(v);
        known = known || it->second == versions[v];
      }
      EXPECT_TRUE(known) << when << ": " << name << " is none of its versions ("
                         << it->second.size() << " bytes)";
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

// Half the kills fall at moments from the start of the run, the other half
// at moments from the journal's appearance, so that they hit the version
// steps however fast or loaded the machine is. The moments are scaled by the
// quickest of two uninterrupted runs: a run slowed by a busy machine must
// not spread them past the end of the later ones.
TEST_F(InterruptionE2E, KilledRunsLeaveWholeFilesAndRunningAgainFinishes) {
  double duration = 0;
  double steps_duration = 0;
  for (int round = 0; round < 2; ++round) {
    InstallOld();
    std::error_code ignored;
    std::filesystem::remove(install_->prefix() + "/system.reg", ignored);
    ASSERT_TRUE(install_->Register(kSampleKey));
    PatcherRun full = Run(0, true);
    ASSERT_EQ(full.exit_code, 0) << full.output;
    ExpectFinal("uninterrupted run");
    ASSERT_GE(full.file_seen_after, 0) << "the run wrote no journal";
    const double steps = full.seconds - full.file_seen_after;
    duration = round == 0 ? full.seconds : std::min(duration, full.seconds);
    steps_duration = round == 0 ? steps : std::min(steps_duration, steps);
  }

  std::mt19937 random(20261208);
  std::uniform_real_distribution<double> from_start(0.0, duration * 0.8);
  std::uniform_real_distribution<double> from_journal(0.0, steps_duration * 0.8);
  int interrupted = 0;
  int mixed = 0;  // kills that left files of two versions: the resumed step
  for (int i = 0; i < kKills; ++i) {
    const bool in_steps = i % 2 == 1;
    const double kill_after = in_steps ? from_journal(random) : from_start(random);
    std::string when = "killed after " + std::to_string(kill_after) + " s from the " +
                       (in_steps ? "journal" : "start");
    SCOPED_TRACE(when);
    InstallOld();
    std::error_code ignored;
    std::filesystem::remove(install_->prefix() + "/system.reg", ignored);
    ASSERT_TRUE(install_->Register(kSampleKey));
    PatcherRun killed = Run(kill_after, in_steps);
    if (killed.signal == SIGKILL) ++interrupted;
    if (ExpectEveryFileWhole(when).size() > 1) ++mixed;

    PatcherRun again = Run(0);
    EXPECT_EQ(again.exit_code, 0) << again.output;
    ExpectFinal(when + ", run again");
  }
  // The moments must really fall inside runs, or the test proves nothing.
  EXPECT_GE(interrupted, kKills / 4);
  EXPECT_GE(mixed, 1) << "no kill fell inside a version step";
  std::printf(
      "run: %.2f s, steps %.2f s; %d of %d kills inside the run, %d inside a version step\n",
      duration, steps_duration, interrupted, kKills, mixed);
}

// A window the player closes: once `close_when` answers true for the
// progress shown so far, the next pump ends the window as its close box
// would.
class ClosingWindow final : public test_support::SilentWindow {
 public:
  using Trigger = std::function<bool(const std::vector<std::string>& progress)>;
  explicit ClosingWindow(Trigger close_when)
      : SilentWindow(&corvane::LoadMessageFormat), close_when_(std::move(close_when)) {}

 protected:
  void ShowProgress(const char* text) override { progress_.emplace_back(text); }
  void Pump() override {
    if (close_when_(progress_)) Ended();
  }

 private:
  Trigger close_when_;
  std::vector<std::string> progress_;
};

// The driver in-process on a two-step patch whose second step's version
// gained a file that only the whole-file pass of the installed version brings.
class ClosedWindowRun : public InProcessPatchTest {
 protected:
  ClosedWindowRun() : InProcessPatchTest("closed") {}

  void SetUp() override {
    InProcessPatchTest::SetUp();
    if (HasFatalFailure()) return;
    PayloadBuilder builder(install_->root() + "/work");
    SamplePatchOptions options;
    options.to_minor = 2;
    MakeSamplePatch(&builder, options);
    for (int minor = 1; minor <= 2; ++minor) {
      FileSet files = SampleGameFiles(minor);
      files["MAPS\\HARBOUR.MAP"] = ToBytes("the harbour");
      builder.AddChecksumList(VersionText(minor), files);
    }
    builder.Add("1.00\\MAPS\\HARBOUR.MAP", ToBytes("the harbour"));
    ASSERT_TRUE(builder.Seal());
    payload_ = install_->root() + "/patch.dll";
    ASSERT_TRUE(builder.WriteDll(payload_));
  }

  int Run(ClosingWindow::Trigger close_when) {
    return RunOn(payload_, [close_when] { return std::make_unique<ClosingWindow>(close_when); });
  }

  void ExpectFinished(const std::string& when) {
    FileSet final_files = SampleGameFiles(2);
    final_files["MAPS\\HARBOUR.MAP"] = ToBytes("the harbour");
    std::map<std::string, Bytes> files = install_->Snapshot();
    EXPECT_EQ(files.size(), final_files.size()) << when;
    for (const auto& [name, bytes] : final_files) {
      EXPECT_TRUE(files[Slashes(name)] == bytes) << when << ": " << name;
    }
  }

  static bool Never(const std::vector<std::string>&) { return false; }

  std::string payload_;
};

constexpr char kStoppedText[] = "The patch was stopped before it was finished.";

size_t Count(const std::vector<std::string>& texts, const std::string& text) {
  size_t count = 0;
  for (const std::string& t : texts) count += t == text ? 1 : 0;
  return count;
}

// Closed while the installation is checked: the check stops, nothing
// changes, the player is told; then the patch runs through.
TEST_F(ClosedWindowRun, ClosedDuringTheCheckChangesNothing) {
  test::ScopedBoxRecorder boxes;
  int result = Run([](const std::vector<std::string>& progress) {
    return Count(progress, "Checking file DATA\\LEVELS.DAT") >= 1;
  });
  EXPECT_EQ(result, 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].find(kStoppedText), std::string::npos) << boxes.boxes[0];
  std::map<std::string, Bytes> files = install_->Snapshot();
  FileSet old_files = SampleGameFiles(0);
  EXPECT_EQ(files.size(), old_files.size());
  for (const auto& [name, bytes] : old_files) EXPECT_TRUE(files[Slashes(name)] == bytes) << name;

  EXPECT_EQ(Run(&Never), 0);
  ExpectFinished("run again");
}

// Closed in the second step: the file in hand is finished, the run stops
// there (exit 1, the player told), and running again finishes the job,
// although the executable already reads 1.01 and the map 1.01 gained is not
// there yet.
TEST_F(ClosedWindowRun, ClosedDuringAStepStopsAfterTheFileAndARerunFinishes) {
  test::ScopedBoxRecorder boxes;
  int result = Run([](const std::vector<std::string>& progress) {
    return Count(progress, "DATA\\LEVELS.DAT") >= 2;  // the second step's update of it
  });
  EXPECT_EQ(result, 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_NE(boxes.boxes[0].find(kStoppedText), std::string::npos) << boxes.boxes[0];
  Bytes levels;
  Bytes game;
  ASSERT_TRUE(install_->ReadGameFile("DATA\\LEVELS.DAT", &levels));
  ASSERT_TRUE(install_->ReadGameFile(kSampleExe, &game));
  EXPECT_TRUE(levels == SampleGameFiles(2)["DATA\\LEVELS.DAT"]);
  EXPECT_TRUE(game == SampleGameFiles(1)[kSampleExe]);
  EXPECT_TRUE(std::filesystem::exists(install_->GamePath(kRunJournalName)));

  EXPECT_EQ(Run(&Never), 0);
  ExpectFinished("run again");
  EXPECT_FALSE(std::filesystem::exists(install_->GamePath(kRunJournalName)));
}

// A directory in the way of the executable's new content fails the second
// step after its data file was updated (the executable still reads 1.01 and
// the map 1.01 gained is not there): once the directory is gone, the next run
// finishes the update instead of calling the game damaged.
TEST_F(ClosedWindowRun, FailedLaterStepIsFinishedByTheNextRun) {
  const std::string in_the_way = install_->GamePath(std::string(kSampleExe) + ".tmp");
  test::ScopedBoxRecorder boxes;
  int result = Run([&](const std::vector<std::string>& progress) {
    if (Count(progress, "DATA\\LEVELS.DAT") >= 2) std::filesystem::create_directories(in_the_way);
    return false;
  });
  EXPECT_EQ(result, 1);
  Bytes game;
  ASSERT_TRUE(install_->ReadGameFile(kSampleExe, &game));
  EXPECT_TRUE(game == SampleGameFiles(1)[kSampleExe]);
  EXPECT_FALSE(std::filesystem::exists(install_->GamePath("MAPS/HARBOUR.MAP")));

  std::filesystem::remove(in_the_way);
  EXPECT_EQ(Run(&Never), 0);
  ExpectFinished("run again");
}

// A journal of another patch version, one that does not parse or names a
// distribution the patch lacks is never trusted, and even this patch's own
// journal only tells where to go on: a damaged file is still refused and
// left alone.
TEST_F(ClosedWindowRun, AForeignOrBrokenJournalSkipsNoCheck) {
  ASSERT_TRUE(install_->WriteGameFile("DATA\\LEVELS.DAT", SampleGameFiles(1)["DATA\\LEVELS.DAT"]));
  ASSERT_TRUE(install_->WriteGameFile(kSampleExe, SampleGameFiles(1)[kSampleExe]));
  for (const std::string& journal : {FormatRunJournal(RunJournal{"1.03", "1.00", "", 1}),
                                     std::string("Corvane patch journal 1\npatch 1.02\n"),
                                     FormatRunJournal(RunJournal{"1.02", "1.00", "#NONE", 1}),
                                     FormatRunJournal(RunJournal{"1.02", "1.00", "", 1})}) {
    SCOPED_TRACE(journal);
    ASSERT_TRUE(install_->WriteGameFile(kRunJournalName, ToBytes(journal)));
    test::ScopedBoxRecorder boxes;
    // The executable at 1.01 with 1.00's sound: damaged, whatever a journal says.
    ASSERT_TRUE(install_->WriteGameFile("DATA\\SOUND.DAT", ToBytes("not the sound")));
    EXPECT_EQ(Run(&Never), 1);
    Bytes sound;
    ASSERT_TRUE(install_->ReadGameFile("DATA\\SOUND.DAT", &sound));
    EXPECT_TRUE(sound == ToBytes("not the sound"));
  }
}

}  // namespace
}  // namespace corvane::e2e
