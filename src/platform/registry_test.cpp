// What every backend's registry must do. The posix backend's file format,
// 64-bit prefixes and the wineserver lock, and the win32 backend's value types
// are tried in the backends' own tests.

#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include "platform/posix/posix_test_dir.h"
#endif

namespace corvane::platform {
namespace {

// Where a test's keys live. posix: a Wine prefix of its own, named by
// WINEPREFIX while the object lives. win32: the system's registry, under a key
// of this test and process, taken out of both roots again at the end.
class RegistrySandbox {
 public:
#ifdef _WIN32
  RegistrySandbox() {
    base_ = "Software\\Corvane\\RegistryTest" + std::to_string(GetCurrentProcessId());
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
      base_ += std::string("-") + info->name();
    }
    DeleteTree(HKEY_CURRENT_USER, base_);
    DeleteTree(HKEY_LOCAL_MACHINE, base_);
  }
  ~RegistrySandbox() {
    DeleteTree(HKEY_CURRENT_USER, base_);
    DeleteTree(HKEY_LOCAL_MACHINE, base_);
  }
#else
  RegistrySandbox() : base_("Software\\Corvane"), prefix_env_("WINEPREFIX", prefix_.path()) {}
#endif
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // A key below the test's own.
  std::string Key(std::string_view below) const { return base_ + "\\" + std::string(below); }

 private:
#ifdef _WIN32
  // The key and everything below it (the system removes only keys without
  // subkeys).
  static void DeleteTree(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      std::vector<std::string> children;
      char name[256];
      DWORD length = sizeof name;
      while (RegEnumKeyExA(key, static_cast<DWORD>(children.size()), name, &length, nullptr,
                           nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        children.emplace_back(name, length);
        length = sizeof name;
      }
      RegCloseKey(key);
      for (const std::string& child : children) DeleteTree(root, path + "\\" + child);
    }
    RegDeleteKeyA(root, path.c_str());
  }
#endif

  std::string base_;
#ifndef _WIN32
  testing::ScopedTempDir prefix_;
  testing::ScopedEnv prefix_env_;
#endif
};

// The same path with every ASCII letter in the other case.
std::string OtherCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + 32);
    }
  }
  return text;
}

TEST(RegistryTest, WritesMissingLevelsAndReadsBackInAnyLetterCase) {
  for (const RegistryRoot root : {RegistryRoot::kLocalMachine, RegistryRoot::kCurrentUser}) {
    SCOPED_TRACE(root == RegistryRoot::kLocalMachine ? "local machine" : "current user");
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key("Game\\Deep\\Level");
    const char* const folder = "C:\\Games\\Caf\xe9 \"Q\"";
    std::string value = "untouched";
    EXPECT_EQ(ReadRegistryString(root, key.c_str(), "MAIN", &value), RegistryStatus::kNotFound);
    EXPECT_EQ(value, "untouched");

    ASSERT_EQ(WriteRegistryString(root, key.c_str(), "MAIN", folder), RegistryStatus::kOk);
    ASSERT_EQ(WriteRegistryString(root, key.c_str(), "", "default"), RegistryStatus::kOk);
    ASSERT_EQ(WriteRegistryString(root, key.c_str(), "Empty", ""), RegistryStatus::kOk);
    ASSERT_EQ(ReadRegistryString(root, OtherCase(key).c_str(), "main", &value),
              RegistryStatus::kOk);
    EXPECT_EQ(value, folder);
    ASSERT_EQ(ReadRegistryString(root, key.c_str(), "", &value), RegistryStatus::kOk);
    EXPECT_EQ(value, "default");
    ASSERT_EQ(ReadRegistryString(root, key.c_str(), "EMPTY", &value), RegistryStatus::kOk);
    EXPECT_EQ(value, "");

    value = "untouched";
    EXPECT_EQ(ReadRegistryString(root, key.c_str(), "missing", &value), RegistryStatus::kNotFound);
    EXPECT_EQ(ReadRegistryString(root, (key + "\\Nope").c_str(), "MAIN", &value),
              RegistryStatus::kNotFound);
    // The levels made on the way hold no values of their own.
    EXPECT_EQ(ReadRegistryString(root, sandbox.Key("Game\\Deep").c_str(), "MAIN", &value),
              RegistryStatus::kNotFound);
    EXPECT_EQ(value, "untouched");

    // A second write replaces the value and leaves the others.
    ASSERT_EQ(WriteRegistryString(root, OtherCase(key).c_str(), "Main", "D:\\Other"),
              RegistryStatus::kOk);
    ASSERT_EQ(ReadRegistryString(root, key.c_str(), "MAIN", &value), RegistryStatus::kOk);
    EXPECT_EQ(value, "D:\\Other");
    ASSERT_EQ(ReadRegistryString(root, key.c_str(), "", &value), RegistryStatus::kOk);
    EXPECT_EQ(value, "default");
  }
}

TEST(RegistryTest, TheTwoRootsAreApart) {
  RegistrySandbox sandbox;
  const std::string key = sandbox.Key("Game");
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "Lang", "de"),
            RegistryStatus::kOk);
  std::string value;
  EXPECT_EQ(ReadRegistryString(RegistryRoot::kLocalMachine, key.c_str(), "Lang", &value),
            RegistryStatus::kNotFound);
  ASSERT_EQ(WriteRegistryString(RegistryRoot::kLocalMachine, key.c_str(), "Lang", "en"),
            RegistryStatus::kOk);
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kCurrentUser, key.c_str(), "Lang", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "de");
  ASSERT_EQ(ReadRegistryString(RegistryRoot::kLocalMachine, key.c_str(), "Lang", &value),
            RegistryStatus::kOk);
  EXPECT_EQ(value, "en");
}

TEST(RegistryTest, NotInUseWhenNoOtherProgramHoldsIt) {
  RegistrySandbox sandbox;
  std::string where = "untouched";
  EXPECT_FALSE(RegistryInUse(&where));
  EXPECT_EQ(where, "untouched");
  EXPECT_FALSE(RegistryInUse(nullptr));
}

}  // namespace
}  // namespace corvane::platform
