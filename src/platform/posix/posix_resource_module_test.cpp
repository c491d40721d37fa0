// The posix backend's own module: the payload image appended to the program
// file. What every backend does with a module file is in
// ../resource_module_test.cpp.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <vector>

#include "pe/native_trailer.h"
#include "platform/posix/posix_test_dir.h"
#include "platform/resource_module.h"
#include "platform/resource_module_test_payload.h"

namespace corvane::platform {
namespace {

using testing::ScopedTempDir;

// This test copies its own program, appends a payload and runs the copy with
// CORVANE_SELF_PAYLOAD_CHILD set: the copy then runs only this test, which
// checks what OpenSelf finds.
TEST(PosixResourceModuleTest, OpenSelfFindsThePayloadAppendedToTheProgram) {
  const std::vector<uint8_t> key = {'k', 'e', 'y'};
  if (std::getenv("CORVANE_SELF_PAYLOAD_CHILD") != nullptr) {
    ResourceModule module;
    ASSERT_TRUE(module.OpenSelf());
    uint32_t size = 0;
    const uint8_t* bytes = module.FindRawData("version.cfg", &size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), "cfg");
    testing::ExpectPayloadFound(module, testing::SamplePayload());
    bytes = module.FindRawDataById(pe::kPublicKeyResourceId, &size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), key);
    return;
  }
  ResourceModule plain;
  EXPECT_FALSE(plain.OpenSelf());  // this program carries no payload
  EXPECT_FALSE(plain.is_open());

  ScopedTempDir dir;
  const std::string program = testing::ReadTestText("/proc/self/exe");
  const std::vector<uint8_t> payload = testing::PayloadDll(testing::SamplePayload(), key);
  const std::vector<uint8_t> patched =
      pe::AppendNativePayload(reinterpret_cast<const uint8_t*>(program.data()), program.size(),
                              payload.data(), payload.size());
  const std::string copy = dir / "patcher";
  ASSERT_TRUE(testing::WriteTestFile(copy, patched));
  chmod(copy.c_str(), 0700);
  const std::string command = "CORVANE_SELF_PAYLOAD_CHILD=1 '" + copy +
                              "' --gtest_filter=PosixResourceModuleTest.OpenSelf* >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace corvane::platform
