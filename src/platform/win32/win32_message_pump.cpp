#include <windows.h>

#include "platform/message_pump.h"

namespace corvane::platform {

void PumpPendingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace corvane::platform
