#pragma once

#include "base/ls_error_code.h"

namespace corvane {

// The fixed text of a code. Codes without a text of their own (11, above 12,
// negative) answer "Unknown error" and also report "%s(%d) : %s" with
// "LSError" through ReportErrorAt, since such a code is a programming error.
const char* LSErrorText(int code);

// The code for a native system error number of the file service.
LSError LSErrorFromSystem(int native_error);
// The code for the file service's most recent failure.
LSError LSErrorFromLastSystemError();

}  // namespace corvane
