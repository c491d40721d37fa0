#include <windows.h>

#include "platform/debug_output.h"

namespace corvane::platform {

void DebugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace corvane::platform
