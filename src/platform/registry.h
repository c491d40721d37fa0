#pragma once

// String values of the two registry roots the patcher uses. Texts are 8-bit
// (code page 1252), as the ANSI registry calls take them.
//
// win32: RegOpenKeyExA / RegQueryValueExA to read; RegCreateKeyExA (all missing
// levels) / RegSetValueExA with REG_SZ and the terminating zero to write.
// posix: the registry files of the Wine prefix ($WINEPREFIX, else ~/.wine):
// system.reg for HKEY_LOCAL_MACHINE, user.reg for HKEY_CURRENT_USER. In a
// 64-bit prefix HKEY_LOCAL_MACHINE\Software is read and written through its
// Wow6432Node view, as Wine shows it to the 32-bit patcher. A write replaces the
// file in one rename (nothing else in it changes) and is refused while the
// prefix's wineserver runs, because the server would overwrite the file with
// its own copy when it exits.

#include <string>

namespace corvane::platform {

enum class RegistryRoot { kLocalMachine, kCurrentUser };

enum class RegistryStatus {
  kOk,
  kNotFound,       // no such key or value, or the value is not a string
  kServerRunning,  // posix: the prefix's wineserver holds the registry
  kFailed,         // the store could not be read or written
};

// Reads a string value ("" names the key's default value). On kOk *value holds
// the text without its terminating zero; otherwise it is left alone. *message,
// when given, explains a failure in plain words.
RegistryStatus ReadRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                  std::string* value, std::string* message = nullptr);

// True when the registry cannot be written now because another program holds
// it: posix, while the prefix's wineserver runs (*where then names the
// prefix). win32: never (the system's registry serves every program at once).
bool RegistryInUse(std::string* where);

// Where a key is looked for, in words for a player who must find it:
// posix, the root and key and the Wine prefix file that holds them; win32,
// empty (the system's registry needs no directions).
std::string DescribeRegistryKey(RegistryRoot root, const char* key_path);

// Creates the key (and every missing level) and writes a REG_SZ value.
RegistryStatus WriteRegistryString(RegistryRoot root, const char* key_path, const char* value_name,
                                   const char* value, std::string* message = nullptr);

}  // namespace corvane::platform
