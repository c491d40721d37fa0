#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug_output.h"

namespace corvane::platform {

void DebugOutput(const char* text) {
  // The system reads no environment of its own; this is a developer switch of
  // the posix backend only, standing in for a debugger's output window.
  const char* target = std::getenv("CORVANE_DEBUG_OUTPUT");
  if (target == nullptr || *target == '\0') return;
  if (std::strcmp(target, "-") == 0) {
    std::fputs(text, stderr);
    return;
  }
  if (std::FILE* file = std::fopen(target, "a")) {
    std::fputs(text, file);
    std::fclose(file);
  }
}

}  // namespace corvane::platform
