#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "patcher_process.h"
#include "payload_builder.h"
#include "scratch_install.h"

namespace corvane::e2e {

// A scratch installation named after the running test, a payload builder
// working below it, and the path a run's payload is written to.
class ScratchPatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    install_ = std::make_unique<ScratchInstall>(info->name());
    builder_ = std::make_unique<PayloadBuilder>(install_->root() + "/work");
    payload_ = install_->root() + "/patch.dll";
  }

  // A run of `program` with `arguments` in the scratch installation.
  PatcherOptions RunOptions(const std::string& program,
                            std::vector<std::string> arguments = {}) const {
    PatcherOptions options;
    options.program = program;
    options.arguments = std::move(arguments);
    options.wine_prefix = install_->prefix();
    options.working_directory = install_->root();
    return options;
  }

  // Writes the payload as it is now and runs the patcher on it, with `input`
  // on its standard input (a terminal when `terminal`).
  PatcherRun RunPayload(const std::string& input, bool terminal) {
    EXPECT_TRUE(builder_->WriteDll(payload_));
    PatcherOptions options = RunOptions(PatcherProgram(), {payload_});
    options.input = input;
    options.terminal = terminal;
    return RunPatcher(options);
  }

  std::unique_ptr<ScratchInstall> install_;
  std::unique_ptr<PayloadBuilder> builder_;
  std::string payload_;
};

}  // namespace corvane::e2e
