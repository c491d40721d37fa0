#include "platform/win32/win32_long_path.h"

#include <windows.h>

#include <vector>

namespace corvane::platform {
namespace {

std::wstring ToWide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring WidePath(const char* path) {
  if (path == nullptr) return std::wstring();
  std::wstring wide = ToWide(path);
  // Already in a form the system takes as it is.
  if (wide.size() < kLongPathFrom || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\"))
    return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::vector<wchar_t> full(size + 1, L'\0');
  const DWORD got = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (got == 0 || got >= size) return wide;
  std::wstring absolute(full.data(), got);
  if (StartsWith(absolute, L"\\\\")) return L"\\\\?\\UNC\\" + absolute.substr(2);
  if (absolute.size() >= 3 && absolute[1] == L':' && absolute[2] == L'\\')
    return L"\\\\?\\" + absolute;
  return absolute;
}

std::string NarrowName(const wchar_t* name) {
  const int length = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, name, -1, narrow.data(), length, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(length - 1));
  return narrow;
}

}  // namespace corvane::platform
