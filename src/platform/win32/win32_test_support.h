#pragma once

// Helpers of the win32 backend's tests (run under Wine by ctest): scratch
// directories, whole-file reads and writes, and the paths of test fixtures.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::platform::testing {

using Win32TempDir = test_support::ScratchFolder;

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  return test_support::ReadTestBytes(path);
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  return test_support::WriteTestFile(path, bytes);
}

// A path of the build machine (Unix) as the program under Wine sees it.
inline std::string FromBuildMachine(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path.empty() || path[0] != '\\' ? path : "Z:" + path;
}

inline std::string FixturePath() {
#ifdef CORVANE_PE_FIXTURE
  return FromBuildMachine(CORVANE_PE_FIXTURE);
#else
  return {};
#endif
}

inline std::string SourcePath(const std::string& relative) {
  return test_support::SourceFilePath(relative);
}

}  // namespace corvane::platform::testing
