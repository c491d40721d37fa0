#include <windows.h>

#include <vector>

#include "platform/file_version.h"

namespace corvane::platform {

std::string QueryFileVersion(const char* path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, handle, size, block.data())) return {};
  char* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                      reinterpret_cast<void**>(&text), &length) || text == nullptr) {
    return {};
  }
  std::string version(text, length);
  // The query counts the terminating zero on some systems; the text ends there.
  const size_t zero = version.find('\0');
  if (zero != std::string::npos) version.resize(zero);
  if (version.size() > 255) version.resize(255);
  return version;
}

}  // namespace corvane::platform
