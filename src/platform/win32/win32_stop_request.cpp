#include <windows.h>

#include "platform/stop_request.h"

namespace corvane::platform {

namespace {

volatile LONG g_stop_requested = 0;
bool g_catching = false;

// Runs on a thread the system makes; it only raises the flag. For the
// console's own close the process ends when this returns, which is why the
// patcher's window, not this handler, is what a GUI run relies on.
BOOL WINAPI OnConsoleControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      InterlockedExchange(&g_stop_requested, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void CatchStopRequests() {
  InterlockedExchange(&g_stop_requested, 0);
  if (g_catching) return;
  g_catching = SetConsoleCtrlHandler(&OnConsoleControl, TRUE) != 0;
}

void ReleaseStopRequests() {
  if (!g_catching) return;
  SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
  g_catching = false;
}

bool StopRequested() { return InterlockedCompareExchange(&g_stop_requested, 0, 0) != 0; }

}  // namespace corvane::platform
