// The win32 backend's own module: the program itself, and a stub with our
// payload section added, loaded by the system and run. What every backend
// does with a module file is in ../resource_module_test.cpp.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe/resource_injector.h"
#include "platform/resource_module.h"
#include "platform/resource_module_test_payload.h"
#include "platform/win32/win32_test_support.h"
#include "support/result_assertions.h"

namespace corvane::platform {
namespace {

using testing::PayloadFile;

TEST(Win32ResourceModuleTest, StubWithAddedPayloadRunsAndFindsBoth) {
  const std::string fixture = testing::FixturePath();
  ASSERT_FALSE(fixture.empty());
  const std::vector<uint8_t> stub = testing::ReadBytes(fixture);
  ASSERT_FALSE(stub.empty()) << fixture;
  const std::vector<PayloadFile> files = testing::SamplePayload();
  std::vector<uint8_t> patched;
  ASSERT_TRUE(Succeeded(
      pe::AddResourceSection(stub.data(), stub.size(), testing::PayloadItems(files), &patched)));
  testing::Win32TempDir dir;
  const std::string exe = dir / "patcher.exe";
  ASSERT_TRUE(testing::WriteBytes(exe, patched));

  // Loaded as a data file: the stub's own named resources are listed too.
  {
    ResourceModule module;
    ASSERT_TRUE(module.OpenFile(exe.c_str()));
    std::vector<PayloadFile> all = files;
    all.push_back({"LOWER.NAME", {'s', 't', 'u', 'b'}});
    all.push_back({"STUBDATA", {'s', 't', 'u', 'b'}});
    testing::ExpectPayloadFound(module, all);
    std::string text;
    ASSERT_TRUE(module.LoadStringText(17, 0, &text));
    EXPECT_EQ(text, "Second block");
  }

  // Run: the stub checks its own resources and the named payload sizes.
  std::string command =
      "\"" + exe +
      "\" version.cfg 3 1.00-1.01\\addons\\ui.vbk.upd 70000 ALL\\VESKA.EXE.#KESTREL 3000";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exit_code = 99;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exit_code, 0u);
}

// The system's own module is always there: callers fall back to it after a
// file that does not load.
TEST(Win32ResourceModuleTest, OwnModuleOpensAfterAFileThatDoesNot) {
  testing::Win32TempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir / "text.dll", {'h', 'e', 'l', 'l', 'o'}));
  ResourceModule module;
  EXPECT_FALSE(module.OpenFile((dir / "text.dll").c_str()));
  EXPECT_FALSE(module.OpenFile((dir / "missing.dll").c_str()));
  EXPECT_FALSE(module.is_open());
  EXPECT_TRUE(module.OpenSelf());
  EXPECT_TRUE(module.is_open());
}

}  // namespace
}  // namespace corvane::platform
