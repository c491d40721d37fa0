#include "platform/host_path.h"

namespace corvane::platform {

std::string HostPath(const char* windows_path) { return windows_path ? windows_path : ""; }

}  // namespace corvane::platform
