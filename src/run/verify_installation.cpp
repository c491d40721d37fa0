#include "run/verify_installation.h"

#include <cstdio>
#include <memory>
#include <string>

#include "engine/checksum_list.h"
#include "engine/crc32.h"
#include "engine/mapped_file.h"
#include "foundation/r_string.h"
#include "run/message_catalogue.h"
#include "run/payload_store.h"
#include "ui/console_window.h"

namespace corvane {

namespace {

constexpr size_t kMaxVerifyPath = 1023;

// Verification reads each file once, front to back: larger windows mean fewer
// mappings and page-table set-ups per byte (measured about a tenth less time
// than 256 KiB windows). Within a 32-bit address space this changes nothing:
// the cap on mapped bytes per file is the same.
MappedFileLimits VerifyLimits() {
  MappedFileLimits limits;
  limits.min_window_size = 4 << 20;
  return limits;
}

// The installed file of a list name: a distribution variant is installed
// without its suffix.
std::string InstalledPath(const char* directory, const std::string& name) {
  std::string path = std::string(directory) + name;
  size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot + 1 < path.size() && path[dot + 1] == '#') path.resize(dot);
  return path;
}

// CRC of an open mapped file; false when a window cannot be mapped.
bool CrcOfMappedFile(MappedFile& file, uint32_t* crc) {
  uint32_t state = kCrc32Initial;
  int32_t length = file.Length();
  for (int32_t position = 0; position < length;) {
    int32_t available = 0;
    const uint8_t* bytes = file.SpanAt(position, &available);
    if (bytes == nullptr || available <= 0) return false;
    if (available > length - position) available = length - position;
    state = Crc32Update(state, bytes, static_cast<size_t>(available));
    position += available;
  }
  *crc = Crc32Final(state);
  return true;
}

}  // namespace

bool ComputeFileCrc(const char* path, uint32_t* crc) {
  MappedFile file(VerifyLimits());
  file.Open(path);
  return file.IsOpen() && CrcOfMappedFile(file, crc);
}

int VerifyInstallation(PatchContext* context, const char* file_filter, bool use_installed_version,
                       bool retry_answered) {
  ConsoleWindowProgress* window = context->window;
  ModuleInstance instance = window != nullptr ? window->Instance() : nullptr;
  int major = use_installed_version ? context->installed_major : context->patch_major;
  int minor = use_installed_version ? context->installed_minor : context->patch_minor;

  char list_name[64];
  std::snprintf(list_name, sizeof(list_name), "crc\\%d.%02d\\crc.crc", major, minor);
  uint32_t list_size = 0;
  std::unique_ptr<char[]> list =
      context->module != nullptr ? LoadPayloadText(list_name, *context->module, &list_size)
                                 : nullptr;
  if (list == nullptr) {
    if (window != nullptr) {
      if (file_filter == nullptr) {
        window->AddLine(kMsgNoVersionCrc, major, minor);
      } else {
        window->AddLine(kMsgNoFileCrc, file_filter, major, minor);
      }
    }
    return kVerifyPassed;
  }

  int result = kVerifyPassed;
  ChecksumListReader reader(list.get(), list_size);
  ChecksumLine line;
  while (reader.Next(&line)) {
    std::string name(line.name);
    if (file_filter != nullptr && CompareNoCase(name.c_str(), file_filter) != 0) continue;
    std::string path = InstalledPath(context->installation_directory, name);

    MappedFile file(VerifyLimits());
    // A path beyond the engine's limit is refused like a file that is not there.
    if (path.size() <= kMaxVerifyPath) file.Open(path.c_str());
    if (window != nullptr) {
      window->SetProgress(kMsgCheckingFile, name.c_str());
      window->ProcessMessages();
    }

    uint32_t crc = 0;
    if (!file.IsOpen() || !CrcOfMappedFile(file, &crc)) {
      if (!line.optional) {
        if (window != nullptr) window->AddLine(kMsgFileMissing, name.c_str());
        result = kVerifyFailed;
      }
    } else if (!line.Matches(crc)) {
      uint32_t expected = line.values[0];
      if (line.optional) {
        if (window != nullptr) window->AddLine(kMsgFileWarning, name.c_str(), expected, crc);
      } else {
        if (window != nullptr) window->AddLine(kMsgFileError, name.c_str(), expected, crc);
        int answer = AskAbortRetryIgnore(instance, window, retry_answered, kMsgFileError,
                                         name.c_str(), expected, crc);
        if (answer == 0) result = kVerifyFailed;
        if (answer == 1) result = kVerifyRetry;
      }
    }

    if (window != nullptr) {
      window->ProcessMessages();
      if (!window->IsOpen()) {
        window->SetProgressText("");
        return result;
      }
    }
  }
  if (window != nullptr) window->SetProgressText("");
  return result;
}

}  // namespace corvane
