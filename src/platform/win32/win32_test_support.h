#pragma once

// Helpers of the win32 backend's tests (run under Wine by ctest): scratch
// directories, whole-file reads and writes, and the paths of test fixtures.

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace corvane::platform::testing {

// A fresh directory under the temporary folder, removed (one level deep) at the end.
class Win32TempDir {
 public:
  Win32TempDir() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (unsigned n = GetTickCount(); path_.empty(); ++n) {
      std::string candidate = std::string(base) + "corvane-pe-" + std::to_string(n);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~Win32TempDir() {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((path_ + "\\" + data.cFileName).c_str());
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    RemoveDirectoryA(path_.c_str());
  }
  Win32TempDir(const Win32TempDir&) = delete;
  Win32TempDir& operator=(const Win32TempDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
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
  return FromBuildMachine(std::string(CORVANE_SOURCE_DIR) + "/" + relative);
}

}  // namespace corvane::platform::testing
