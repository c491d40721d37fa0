#pragma once

namespace corvane {

// Stream error codes. Readers of data formats set 2-6 and 10; the file
// streams set the others from system errors (LSErrorFromSystem).
enum LSError : int {
  LSOK = 0,
  LSNoFile = 1,     // file not found
  LSBadFile = 2,    // CRC and kin
  LSStructure = 3,  // bad file structure
  LSUnsupportedFormat = 4,
  LSFileTooNew = 5,  // version is too new
  LSFileTooOld = 6,  // version is too old
  LSDiskFull = 7,
  LSNoAccess = 8,   // access denied, write protected, sharing/lock violation
  LSDiskError = 9,  // data error, read or write fault
  LSNoEntry = 10,
  LSUnknownError = 12,  // any other system error
};

// The fixed text of a code. Codes without a text of their own (11, above 12,
// negative) answer "Unknown error" and also report "%s(%d) : %s" with
// "LSError" through ReportErrorAt, since such a code is a programming error.
const char* LSErrorText(int code);

// The code for a native system error number of the file service.
LSError LSErrorFromSystem(int native_error);
// The code for the file service's most recent failure.
LSError LSErrorFromLastSystemError();

}  // namespace corvane
