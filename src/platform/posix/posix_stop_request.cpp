#include <signal.h>

#include "platform/stop_request.h"

namespace corvane::platform {

namespace {

volatile sig_atomic_t g_stop_requested = 0;
bool g_catching = false;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnStopSignal(int /*signal*/) { g_stop_requested = 1; }

}  // namespace

void CatchStopRequests() {
  g_stop_requested = 0;
  if (g_catching) return;
  struct sigaction action = {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls resume: a request must not make a file write
  // or a terminal read fail half way; the flag is seen at the next poll.
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
  g_catching = true;
}

void ReleaseStopRequests() {
  if (!g_catching) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
  g_catching = false;
}

bool StopRequested() { return g_stop_requested != 0; }

}  // namespace corvane::platform
