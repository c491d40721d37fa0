#include "run/verify_installation.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/checksum_list.h"
#include "engine/crc32.h"
#include "foundation/r_string.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "run/message_catalogue.h"
#include "run/payload_store.h"
#include "ui/console_window.h"

namespace corvane {

namespace {

constexpr size_t kMaxVerifyPath = 1023;

// Verification reads each file once, front to back, in pieces of this size:
// large enough that the calls cost nothing next to the CRC, small enough to
// stay out of the way in a 32-bit address space.
constexpr uint32_t kReadPieceSize = 4u << 20;

// The installed file of a list name: a distribution variant is installed
// without its suffix.
std::string InstalledPath(const char* directory, const std::string& name) {
  std::string path = std::string(directory) + name;
  size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot + 1 < path.size() && path[dot + 1] == '#') path.resize(dot);
  return path;
}

// The CRC-32 of a whole file, read with 64-bit offsets so that files of any
// size are checked to their last byte; `buffer` holds kReadPieceSize bytes.
// False when the file is missing, empty, a directory, or cannot be read to
// the end of the size it had when opened.
bool CrcOfFile(const char* path, uint8_t* buffer, uint32_t* crc) {
  platform::ScopedFile file(platform::FileOpenRead(path));
  uint64_t size = 0;
  if (!file.IsValid() || !platform::FileSize64(file.Get(), &size) || size == 0) return false;
  uint32_t state = kCrc32Initial;
  for (uint64_t position = 0; position < size;) {
    uint64_t left = size - position;
    uint32_t want = left < kReadPieceSize ? static_cast<uint32_t>(left) : kReadPieceSize;
    int64_t read = platform::FileReadAt(file.Get(), position, buffer, want);
    if (read <= 0) return false;
    state = Crc32Update(state, buffer, static_cast<size_t>(read));
    position += static_cast<uint64_t>(read);
  }
  *crc = Crc32Final(state);
  return true;
}

std::unique_ptr<uint8_t[]> NewReadBuffer() { return std::make_unique<uint8_t[]>(kReadPieceSize); }

// The check's question about a file: the catalogue's Abort/Retry/Ignore box
// (same texts and sizes), answered as pressed: Retry is acted on by the
// caller, which reads the file again, rather than by asking once more.
int AskAboutFile(ConsoleWindowProgress* window, bool retry_default, int id, ...) {
  ModuleInstance instance = window != nullptr ? window->Instance() : nullptr;
  char title[256];
  LoadMessage(instance, kMsgPatchTitle, title, sizeof title);
  char format[1024];
  LoadMessageFormat(instance, id, format, sizeof format);
  char text[2048];
  va_list args;
  va_start(args, id);
  if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
  va_end(args);
  if (window != nullptr && window->IsOpen()) {
    return static_cast<int>(window->AskAbortRetryIgnore(text, title, retry_default));
  }
  return static_cast<int>(
      GetMessageBoxFunctions()->AskAbortRetryIgnore(text, title, retry_default));
}

}  // namespace

namespace {

uint64_t InstalledSize(const std::string& directory, const char* listed_name) {
  uint64_t size = 0;
  const std::string path = InstalledPath(directory.c_str(), listed_name);
  return platform::FileSizeOf(path.c_str(), &size) ? size : 0;
}

}  // namespace

CheckFigures::CheckFigures(const char* directory, const char* list, uint32_t size)
    : directory_(directory) {
  work_.phase = "check";
  ChecksumListReader reader(list, size);
  for (ChecksumLine line; reader.Next(&line);) {
    ++work_.files_total;
    work_.bytes_total += InstalledSize(directory_, std::string(line.name).c_str());
  }
}

CheckFigures::CheckFigures(const PatchContext& context, int major, int minor)
    : directory_(context.installation_directory) {
  work_.phase = "check";
  char list_name[64];
  std::snprintf(list_name, sizeof(list_name), "crc\\%d.%02d\\crc.crc", major, minor);
  uint32_t size = 0;
  std::unique_ptr<char[]> list =
      context.module != nullptr ? LoadPayloadText(list_name, *context.module, &size) : nullptr;
  if (list != nullptr) *this = CheckFigures(directory_.c_str(), list.get(), size);
}

void CheckFigures::Count(const char* listed_name) {
  ++work_.files_done;
  work_.bytes_done += InstalledSize(directory_, listed_name);
}

bool ComputeFileCrc(const char* path, uint32_t* crc) {
  std::unique_ptr<uint8_t[]> buffer = NewReadBuffer();
  return CrcOfFile(path, buffer.get(), crc);
}

int VerifyInstallation(PatchContext* context, const char* file_filter, bool use_installed_version,
                       bool retry_answered) {
  ConsoleWindowProgress* window = context->window;
  int major = use_installed_version ? context->installed_major : context->patch_major;
  int minor = use_installed_version ? context->installed_minor : context->patch_minor;

  char list_name[64];
  std::snprintf(list_name, sizeof(list_name), "crc\\%d.%02d\\crc.crc", major, minor);
  uint32_t list_size = 0;
  std::unique_ptr<char[]> list = context->module != nullptr
                                     ? LoadPayloadText(list_name, *context->module, &list_size)
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
  std::unique_ptr<uint8_t[]> buffer = NewReadBuffer();
  // The whole check is counted for the window's figures; one file is not.
  const bool counted = window != nullptr && file_filter == nullptr;
  CheckFigures figures(counted ? context->installation_directory : "", counted ? list.get() : "",
                       counted ? list_size : 0);
  ChecksumListReader reader(list.get(), list_size);
  ChecksumLine line;
  while (reader.Next(&line)) {
    std::string name(line.name);
    if (file_filter != nullptr && CompareNoCase(name.c_str(), file_filter) != 0) continue;
    if (counted) {
      window->ShowWork(figures.work());
      figures.Count(name.c_str());
    }
    std::string path = InstalledPath(context->installation_directory, name);

    // Retry reads the same file again; every other answer goes on or ends.
    bool read_again = true;
    while (read_again) {
      read_again = false;
      if (window != nullptr) {
        window->SetProgress(kMsgCheckingFile, name.c_str());
        window->ProcessMessages();
      }
      uint32_t crc = 0;
      platform::RecordFileError(0);
      // A path beyond the engine's limit is refused like a file that is not there.
      bool readable = path.size() <= kMaxVerifyPath && CrcOfFile(path.c_str(), buffer.get(), &crc);
      if (window != nullptr && window->ClosedByUser()) break;
      if (readable) context->files_checked.insert(name);
      if (!readable && platform::LastFileFault() == platform::FileFault::kInUse) {
        // Held by another program (the game, often) without letting others
        // read it: not missing. The player may close it and go on.
        if (AskRetryCancel(window != nullptr ? window->Instance() : nullptr, window, kMsgFileInUse,
                           name.c_str())) {
          read_again = true;
          continue;
        }
        if (window != nullptr) window->SetProgressText("");
        return kVerifyStopped;
      }
      if (!readable) {
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
          int answer =
              AskAboutFile(window, retry_answered, kMsgFileError, name.c_str(), expected, crc);
          if (answer == static_cast<int>(AbortRetryIgnore::kAbort)) {
            // Abort ends the whole check at once: one box, not one per file.
            if (window != nullptr) window->SetProgressText("");
            return kVerifyFailed;
          }
          if (answer == static_cast<int>(AbortRetryIgnore::kRetry)) {
            // Whoever can mend the file (the whole-file copy) does so first;
            // otherwise the player may have, and the file is read again.
            if (retry_answered) {
              result = kVerifyRetry;
            } else {
              read_again = true;
            }
          }
        }
      }
    }

    if (window != nullptr) {
      window->ProcessMessages();
      if (window->ClosedByUser()) {
        // The player closed the window: the check did not finish, whatever
        // it had found so far.
        window->SetProgressText("");
        return kVerifyStopped;
      }
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
