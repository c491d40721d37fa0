#pragma once

#include <string>

namespace corvane::platform {

// Paths inside the system are Windows paths (backslashes, drive letters, any
// letter case). HostPath turns one into the path the operating system takes.
// win32: the path unchanged.
// posix: backslashes become slashes; a drive letter "X:" goes through the Wine
// prefix's dosdevices/x: link; every component is matched against the disk
// without regard to letter case (an exact match first), so "ADDONS\X.VBK"
// names an existing "addons/x.vbk" rather than a new file beside it. From the
// first component that does not exist on, components are kept as given. Text
// that is not valid UTF-8 is taken as code page 1252 and converted, since the
// names on disk are UTF-8.
std::string HostPath(const char* windows_path);

// Creates every missing directory of a Windows directory path, each with the
// letter case given (existing ones are matched as HostPath matches them).
// True when the whole path exists as a directory afterwards.
bool CreateDirectories(const char* windows_directory);

// posix: the Wine prefix the patcher works in: $WINEPREFIX, else $HOME/.wine.
// win32: the empty text.
std::string WinePrefix();

// The running program's own file, as a host path; empty when the system
// cannot tell (posix /proc/self/exe, win32 GetModuleFileName).
std::string ProgramPath();

// posix: makes `prefix` the Wine prefix for the rest of the process, ahead of
// $WINEPREFIX (the native patcher's --prefix). win32: no effect.
void SetWinePrefix(const std::string& prefix);

}  // namespace corvane::platform
