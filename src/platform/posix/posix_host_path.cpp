#include "platform/host_path.h"

namespace corvane::platform {

std::string HostPath(const char* windows_path) {
  std::string path = windows_path ? windows_path : "";
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

}  // namespace corvane::platform
