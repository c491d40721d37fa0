#include "engine/patch_log.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_io.h"

namespace corvane {

void AppendToPatchLog(const char* line) {
  const size_t length = std::strlen(line);
  std::string text;
  text.reserve(length + 8);
  for (size_t i = 0; i < length; ++i) {
    if (line[i] == '\n') text += '\r';
    text += line[i];
  }

  platform::ScopedFile log(platform::FileOpenAppend(kPatchLogName));
  if (!log.IsValid()) {
    std::fputs("Cannot write to log file\n", stdout);
    return;
  }
  platform::FileWrite(log.Get(), text.data(), static_cast<uint32_t>(text.size()));
}

}  // namespace corvane
