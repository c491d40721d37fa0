#include "platform/message_pump.h"

namespace corvane::platform {

void PumpPendingMessages() {}

}  // namespace corvane::platform
