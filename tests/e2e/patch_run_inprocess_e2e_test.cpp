// The driver called in-process, with the window seams the entry points use:
// a window of the caller's making, and no window at all.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "in_process_patch_test.h"
#include "payload_builder.h"
#include "run/message_catalogue.h"
#include "run/patch_run.h"
#include "run/step_test_support.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "support/silent_window.h"
#include "ui/console_window.h"

namespace corvane::e2e {
namespace {

// Keeps what the window showed after the run has deleted it.
struct WindowRecord {
  std::string title;
  std::string log;
  bool waited = false;
};

class RecordingWindow final : public test_support::SilentWindow {
 public:
  explicit RecordingWindow(WindowRecord* record)
      : SilentWindow(&corvane::LoadMessage), record_(record) {}
  ~RecordingWindow() override { record_->log = LogText(); }

 protected:
  void ShowTitle(const char* text) override { record_->title = text; }
  bool WaitForInput() override {
    record_->waited = true;
    Ended();
    return true;
  }

 private:
  WindowRecord* record_;
};

class InProcessRun : public InProcessPatchTest {
 protected:
  InProcessRun() : InProcessPatchTest("inprocess") {}

  void SetUp() override {
    InProcessPatchTest::SetUp();
    if (HasFatalFailure()) return;
    builder_ = std::make_unique<PayloadBuilder>(install_->root() + "/work");
    SamplePatchOptions options;
    options.to_minor = 1;
    MakeSamplePatch(builder_.get(), options);
  }

  int Run(std::function<std::unique_ptr<ConsoleWindowProgress>()> make_window) {
    EXPECT_TRUE(builder_->Seal());
    std::string payload = install_->root() + "/patch.dll";
    EXPECT_TRUE(builder_->WriteDll(payload));
    return RunOn(payload, std::move(make_window));
  }

  std::unique_ptr<PayloadBuilder> builder_;
};

TEST_F(InProcessRun, WindowShowsTitleLogAndWaitsForOk) {
  WindowRecord record;
  int result = Run([&] { return std::make_unique<RecordingWindow>(&record); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(record.title, "Sample Game: Updating version 1.00 to version 1.01...");
  EXPECT_EQ(record.log,
            "Verifying Sample Game, version 1.00...\r\n"
            "Sample Game: Updating version 1.00 to version 1.01...\r\n"
            "Sample Game patch 1.01 has been applied successfully.\r\n");
  EXPECT_TRUE(record.waited);
}

TEST_F(InProcessRun, FailureInTheWindowIsItsLastLine) {
  Bytes& update = builder_->Get("1.00-1.01\\DATA\\LEVELS.DAT.upd");
  update[update.size() - 1] ^= 0x55;
  WindowRecord record;
  test::ScopedBoxRecorder boxes;
  int result = Run([&] { return std::make_unique<RecordingWindow>(&record); });
  EXPECT_EQ(result, 1);
  EXPECT_NE(record.log.find("Error in file DATA\\LEVELS.DAT, phase 1.\r\n"), std::string::npos)
      << record.log;
  EXPECT_TRUE(record.waited);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(InProcessRun, WithoutAWindowTheFailureIsStillTold) {
  Bytes& update = builder_->Get("1.00-1.01\\DATA\\LEVELS.DAT.upd");
  update[update.size() - 1] ^= 0x55;
  test::ScopedBoxRecorder boxes;
  int result = Run([] { return std::unique_ptr<ConsoleWindowProgress>(); });
  EXPECT_EQ(result, 1);
  ASSERT_FALSE(boxes.boxes.empty());
  EXPECT_NE(boxes.boxes.back().find("Error in file DATA\\LEVELS.DAT, phase 1."), std::string::npos)
      << boxes.boxes.back();
  EXPECT_EQ(boxes.boxes.back().rfind("Sample Game Patch: ", 0), 0u) << boxes.boxes.back();
}

TEST_F(InProcessRun, WithoutAWindowASuccessfulRunStillPatches) {
  test::ScopedBoxRecorder boxes;
  EXPECT_EQ(Run([] { return std::unique_ptr<ConsoleWindowProgress>(); }), 0);
  Bytes levels;
  ASSERT_TRUE(install_->ReadGameFile("DATA\\LEVELS.DAT", &levels));
  EXPECT_TRUE(levels == SampleGameFiles(1)["DATA\\LEVELS.DAT"]);
}

}  // namespace
}  // namespace corvane::e2e
