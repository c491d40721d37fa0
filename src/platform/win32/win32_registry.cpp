#include <windows.h>

#include <vector>

#include "platform/registry.h"

namespace corvane::platform {
namespace {

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

void SetMessage(std::string* message, const char* text, LONG code) {
  if (message == nullptr) return;
  *message = text;
  *message += " (error ";
  *message += std::to_string(code);
  *message += ")";
}

// Puts the process environment's variables into *text (%NAME%); a name that
// is not set stays as it is, as the system does it.
bool ExpandEnvironment(std::string* text) {
  DWORD needed = ExpandEnvironmentStringsA(text->c_str(), nullptr, 0);
  // The text may grow between the two calls only if the environment changes,
  // which nothing on this thread does; a second answer larger than the first
  // is still handled by trying again with that size.
  for (int attempt = 0; attempt < 3 && needed != 0; ++attempt) {
    std::vector<char> expanded(needed + 1, '\0');
    const DWORD got = ExpandEnvironmentStringsA(text->c_str(), expanded.data(), needed);
    if (got == 0) return false;
    if (got <= needed) {
      *text = expanded.data();
      return true;
    }
    needed = got;
  }
  return false;
}

}  // namespace

RegistryStatus ReadRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                  std::string* value, std::string* message) {
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(RootKey(root), key_path, 0, KEY_READ, &key);
  if (code != ERROR_SUCCESS) {
    SetMessage(message, "cannot open the registry key", code);
    return code == ERROR_FILE_NOT_FOUND ? RegistryStatus::kNotFound : RegistryStatus::kFailed;
  }
  DWORD type = 0;
  DWORD size = 0;
  code = RegQueryValueExA(key, value_name, nullptr, &type, nullptr, &size);
  std::vector<char> data(size + 1, '\0');
  if (code == ERROR_SUCCESS) {
    code = RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &size);
  }
  RegCloseKey(key);
  if (code != ERROR_SUCCESS) {
    SetMessage(message, "cannot read the registry value", code);
    return code == ERROR_FILE_NOT_FOUND ? RegistryStatus::kNotFound : RegistryStatus::kFailed;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    SetMessage(message, "the registry value is not a string", 0);
    return RegistryStatus::kNotFound;
  }
  std::string text(data.data(), size < data.size() ? size : data.size());
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  // An installer may store a folder as "%ProgramFiles%\Game": the value means
  // what it says only once the environment's variables are put in.
  if (type == REG_EXPAND_SZ && !ExpandEnvironment(&text)) {
    SetMessage(message, "cannot expand the registry value", static_cast<LONG>(GetLastError()));
    return RegistryStatus::kFailed;
  }
  *value = std::move(text);
  return RegistryStatus::kOk;
}

bool RegistryInUse(std::string* /*where*/) { return false; }

std::string DescribeRegistryKey(RegistryRoot /*root*/, const char* /*key_path*/) { return {}; }

RegistryStatus WriteRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                   const char* value, std::string* message) {
  HKEY key = nullptr;
  LONG code =
      RegCreateKeyExA(RootKey(root), key_path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (code != ERROR_SUCCESS) {
    SetMessage(message, "cannot create the registry key", code);
    return RegistryStatus::kFailed;
  }
  const DWORD length = static_cast<DWORD>(lstrlenA(value)) + 1;
  code = RegSetValueExA(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), length);
  RegCloseKey(key);
  if (code != ERROR_SUCCESS) {
    SetMessage(message, "cannot write the registry value", code);
    return RegistryStatus::kFailed;
  }
  return RegistryStatus::kOk;
}

}  // namespace corvane::platform
