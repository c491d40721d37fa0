#pragma once

namespace corvane {

// Stream error codes. Readers of data formats set 2-6 and 10; the file
// streams set the others from system errors (the platform's file service maps
// its native numbers onto them). The numbers are stored and logged as they
// are: they never change.
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

}  // namespace corvane
