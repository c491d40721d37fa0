// The win32 backend: what the system's registry calls see of its values and
// what it reads of values other programs wrote. What every backend does is in
// ../registry_test.cpp.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"

namespace corvane::platform {
namespace {

// What the system's own calls see of a written value: a REG_SZ with its
// terminating zero, as other programs reading it expect.
TEST(Win32RegistryTest, WritesAStringValueWithItsTerminatingZero) {
  const std::string key = "Software\\Corvane\\SzTest" + std::to_string(GetCurrentProcessId());
  ASSERT_EQ(
      WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "MAIN", "C:\\Games\\Caf\xe9"),
      RegistryStatus::kOk);
  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
  char data[64] = {};
  DWORD type = 0;
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(handle, "MAIN", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  RegCloseKey(handle);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(data, size), std::string("C:\\Games\\Caf\xe9") + '\0');
}

// The system's registry needs no directions.
TEST(Win32RegistryTest, KeysNeedNoDescription) {
  EXPECT_EQ(DescribeRegistryKey(RegistryRoot::kLocalMachine, "Software\\Corvane"), "");
  EXPECT_EQ(DescribeRegistryKey(RegistryRoot::kCurrentUser, "Software\\Corvane"), "");
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
