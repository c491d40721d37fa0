#include "stream/ls_error.h"

#include "foundation/app_frame.h"
#include "platform/file_io.h"

namespace corvane {

const char* LSErrorText(int code) {
  switch (code) {
    case LSOK:
      return "No error";
    case LSNoFile:
      return "No such file";
    case LSBadFile:
      return "Bad file (CRC, ...)";
    case LSStructure:
      return "Bad file structure";
    case LSUnsupportedFormat:
      return "Unsupported format";
    case LSFileTooNew:
      return "Version is too new";
    case LSFileTooOld:
      return "Version is too old";
    case LSDiskFull:
      // The disk-full code has always carried this text; messages depend on it.
      return "No such file";
    case LSNoAccess:
      return "Access denied";
    case LSDiskError:
      return "Disk error";
    case LSNoEntry:
      return "No entry";
    case LSUnknownError:
      return "Unknown error";
    default:
      CORVANE_REPORT_INTERNAL("LSError");
      return "Unknown error";
  }
}

LSError LSErrorFromSystem(int native_error) { return platform::FileErrorToLSError(native_error); }

LSError LSErrorFromLastSystemError() { return LSErrorFromSystem(platform::FileLastError()); }

}  // namespace corvane
