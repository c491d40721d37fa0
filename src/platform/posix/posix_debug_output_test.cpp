#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/debug_output.h"

namespace {

TEST(DebugOutput, SilentByDefaultAndAppendsToNamedFile) {
  const std::string path = ::testing::TempDir() + "debug_output_test.log";
  std::remove(path.c_str());
  unsetenv("CORVANE_DEBUG_OUTPUT");
  corvane::platform::DebugOutput("dropped\n");
  setenv("CORVANE_DEBUG_OUTPUT", path.c_str(), 1);
  corvane::platform::DebugOutput("first\n");
  corvane::platform::DebugOutput("second\n");
  unsetenv("CORVANE_DEBUG_OUTPUT");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "first\nsecond\n");
  std::remove(path.c_str());
}

}  // namespace
