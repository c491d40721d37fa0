#pragma once

namespace corvane::platform {

// Dispatches every message waiting in the calling thread's queue and returns
// (win32: PeekMessageA with removal, TranslateMessage, DispatchMessageA until
// the queue is empty). posix has no message queue: nothing to do.
void PumpPendingMessages();

}  // namespace corvane::platform
