#pragma once

// Scratch folders for tests. ctest runs every test case as its own process,
// many at once, so a folder with a fixed name would be shared by cases that
// run side by side: one case's clean-up removes what another is writing.
// Each ScratchFolder is new (named after the running case, made with a name
// no one holds yet) and goes, read-only files and all, with the object.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace corvane::test_support {

class ScratchFolder {
 public:
  explicit ScratchFolder(std::string_view tag = "corvane") {
    namespace fs = std::filesystem;
    std::string stem = "corvane-" + std::string(tag);
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
      stem += std::string("-") + info->name();
    }
    for (char& c : stem) {
      if (c == '/' || c == '\\') c = '_';
    }
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    // create_directory says whether it made the folder: a name someone else
    // holds is never taken over.
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      fs::path candidate = base / (stem + "-" + std::to_string(random()));
      if (fs::create_directories(candidate, error)) path_ = candidate;
    }
  }

  ~ScratchFolder() {
    namespace fs = std::filesystem;
    if (path_.empty()) return;
    std::error_code error;
    // Read-only files would stop the removal on Windows.
    for (auto& entry : fs::recursive_directory_iterator(path_, error)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
    }
    fs::remove_all(path_, error);
  }

  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Empty when no folder could be made (the test then fails on its first file).
  const std::filesystem::path& path() const { return path_; }
  // The folder itself, and a name inside it, as text.
  std::string text() const { return path_.string(); }
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes `folder` the current directory while the object lives.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::filesystem::path& folder) {
    std::error_code error;
    previous_ = std::filesystem::current_path(error);
    std::filesystem::current_path(folder, error);
  }
  ~ScopedCurrentDirectory() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
  }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace corvane::test_support
