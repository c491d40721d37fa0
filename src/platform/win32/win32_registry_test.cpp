#include <windows.h>
#include <gtest/gtest.h>

#include "platform/registry.h"

namespace corvane::platform {
namespace {

TEST(Win32RegistryTest, CreatesMissingLevelsAndReadsBack) {
  const std::string key =
      "Software\\Corvane\\PeTest" + std::to_string(GetCurrentProcessId()) + "\\Deep\\Level";
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "MAIN",
                                "C:\\Games\\Caf\xe9 \"Q\""),
            RegistryStatus::kOk);
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "", "default"),
            RegistryStatus::kOk);
  std::string value;
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "main", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "C:\\Games\\Caf\xe9 \"Q\"");
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "default");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "missing", &value),
            RegistryStatus::kNotFound);
  EXPECT_EQ(
      ReadRegistryString(RegistryRoot::kCurrentUser, (key + "\\Nope").c_str(), "MAIN", &value),
      RegistryStatus::kNotFound);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

// An installer may write the folder as an expandable string: it is read with
// the environment's variables put in, while a plain string keeps its percent
// signs.
TEST(Win32RegistryTest, ExpandableStringsAreExpanded) {
  const std::string key = "Software\\Corvane\\ExpandTest" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(SetEnvironmentVariableA("CORVANE_GAMES", "D:\\Spiele"));
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  const char expand[] = "%CORVANE_GAMES%\\Game %CORVANE_UNSET%";
  const char plain[] = "%CORVANE_GAMES%\\Game";
  EXPECT_EQ(RegSetValueExA(handle, "MAIN", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                           sizeof expand),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(handle, "Plain", 0, REG_SZ, reinterpret_cast<const BYTE*>(plain),
                           sizeof plain),
            ERROR_SUCCESS);
  RegCloseKey(handle);

  std::string value;
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "MAIN", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "D:\\Spiele\\Game %CORVANE_UNSET%");
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "Plain", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, plain);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  SetEnvironmentVariableA("CORVANE_GAMES", nullptr);
}

}  // namespace
}  // namespace corvane::platform
