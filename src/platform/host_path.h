#pragma once

#include <string>

namespace corvane::platform {

// Paths inside the system are Windows paths (backslashes, drive letters, any
// letter case). HostPath turns one into the path the operating system takes.
// win32: the path unchanged. posix: backslashes become slashes; a drive letter
// and each component are resolved against the disk (see the backend).
std::string HostPath(const char* windows_path);

}  // namespace corvane::platform
