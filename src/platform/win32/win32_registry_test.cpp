#include <windows.h>

#include <gtest/gtest.h>

#include "platform/registry.h"

namespace corvane::platform {
namespace {

TEST(Win32RegistryTest, CreatesMissingLevelsAndReadsBack) {
  const std::string key = "Software\\Corvane\\PeTest" + std::to_string(GetCurrentProcessId()) + "\\Deep\\Level";
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "MAIN", "C:\\Games\\Caf\xe9 \"Q\""),
            RegistryStatus::kOk);
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "", "default"), RegistryStatus::kOk);
  std::string value;
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "main", &value), RegistryStatus::kOk);
  EXPECT_EQ(value, "C:\\Games\\Caf\xe9 \"Q\"");
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "", &value), RegistryStatus::kOk);
  EXPECT_EQ(value, "default");
  EXPECT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "missing", &value), RegistryStatus::kNotFound);
  EXPECT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, (key + "\\Nope").c_str(), "MAIN", &value),
            RegistryStatus::kNotFound);
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
}  // namespace corvane::platform
