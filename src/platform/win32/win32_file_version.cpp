#include <windows.h>

#include <vector>

#include "platform/file_version.h"
#include "platform/win32/win32_long_path.h"

namespace corvane::platform {

std::string QueryFileVersion(const char* path) {
  // The wide calls: the game's folder may be up to 259 characters long.
  const std::wstring wide = WidePath(path);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(wide.c_str(), handle, size, block.data())) return {};
  wchar_t* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                      reinterpret_cast<void**>(&text), &length) ||
      text == nullptr) {
    return {};
  }
  std::wstring value(text, length);
  // The query counts the terminating zero on some systems; the text ends there.
  const size_t zero = value.find(L'\0');
  if (zero != std::wstring::npos) value.resize(zero);
  std::string version = NarrowName(value.c_str());
  if (version.size() > 255) version.resize(255);
  return version;
}

}  // namespace corvane::platform
