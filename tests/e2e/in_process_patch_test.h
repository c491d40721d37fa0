#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "payload_builder.h"
#include "run/message_catalogue.h"
#include "run/patch_run.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "support/scratch_folder.h"
#include "ui/console_window.h"

namespace corvane::e2e {

// The patch driver called in this process on a scratch installation of the
// sample game at 1.00: this process reads the installation's prefix, speaks
// English and works in the installation's folder (where "patch.log" goes)
// until the test ends. Derived fixtures build their payload in SetUp.
class InProcessPatchTest : public ::testing::Test {
 protected:
  explicit InProcessPatchTest(std::string tag) : tag_(std::move(tag)) {}

  void SetUp() override {
    install_ = std::make_unique<ScratchInstall>(tag_);
    install_->UsePrefix();
    SetMessageLanguage(0x0409);
    ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
    ASSERT_TRUE(LoadTestPublicKey(&key_));
    here_ = std::make_unique<test_support::ScopedCurrentDirectory>(install_->root());
  }
  void TearDown() override {
    here_.reset();  // back where the test started, whether or not SetUp got this far
    SetDisplayName(nullptr);
    SetMessageLanguage(0);
  }

  // Runs the driver on the payload DLL at `payload`, trusting the test key,
  // with the windows `make_window` makes.
  int RunOn(const std::string& payload,
            std::function<std::unique_ptr<ConsoleWindowProgress>()> make_window) {
    PatchRunOptions options;
    options.built_in_key = key_.data();
    options.make_window = std::move(make_window);
    return RunPatch(payload.c_str(), options);
  }

  std::unique_ptr<ScratchInstall> install_;

 private:
  std::string tag_;
  Bytes key_;
  std::unique_ptr<test_support::ScopedCurrentDirectory> here_;
};

}  // namespace corvane::e2e
