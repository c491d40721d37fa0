#include "engine/writer/create_patch.h"

#include <chrono>
#include <new>
#include <string>

#include "engine/update_format.h"
#include "engine/update_path.h"
#include "engine/writer/pending_record.h"
#include "foundation/app_frame.h"
#include "platform/file_system.h"

namespace corvane {

// The debug report of a new file that cannot be read cites this source and
// line. Logs and the tools that read them have always seen exactly this
// report, so it keeps its form although neither names anything here.
constexpr char kMissingNewFileSource[] = "patch";
constexpr int kMissingNewFileLine = 541;

namespace {

void ReportMissingNewFile(const char* /*new_path*/) {
  ReportErrorAt("%s(%d) : %s", kMissingNewFileSource, kMissingNewFileLine, "Error");
}

}  // namespace

PatchResult CreatePatch::Write(const char* old_path, const char* new_path,
                               const char* update_path) {
  auto started = std::chrono::steady_clock::now();
  std::string progress_name = FileNamePart(old_path);

  if (!Open(old_path, new_path, update_path, &ReportMissingNewFile)) return kPatchFailed;

  // A new file that exists but is empty is the 13-byte update without records.
  bool old_open = old_.IsOpen();
  output_.WriteByte(old_open ? update_format::kKindDifference : update_format::kKindNoOldFile);
  output_.WriteField(new_.IsOpen() ? new_.Length() : 0);
  output_.WriteField(old_open ? old_.Length() : 0);

  uint32_t checksum = 0;
  PendingRecord record(old_, new_, output_);
  record.Clear();
  if (new_.IsOpen() &&
      !RunDifferenceSearch(old_, new_, record, progress_name, progress_, &checksum)) {
    return kPatchFailed;
  }
  return Finish(record, checksum, update_path, started);
}

PatchResult CreateDelete::Process(const char* old_path, const char* new_path,
                                  const char* update_path, bool /*flag*/) {
  old_.Open(old_path, 0, MappedFile::kWholeFile);
  new_.Open(new_path, 0, MappedFile::kWholeFile);
  if (new_.IsOpen()) {
    Close();
    return kPatchDone;
  }
  OutputFile output;
  if (!output.Create(update_path)) {
    messages_.Print("Cannot write %s\n", update_path);
    return kPatchFailed;
  }
  output.WriteByte(update_format::kKindDelete);
  if (!output.Close()) {
    messages_.Print("Cannot write %s\n", update_path);
    platform::RemoveFile(update_path);
    return kPatchFailed;
  }
  return kPatchDone;
}

PatchResult CreateDelete::ProcessFile(const char* old_directory, const char* new_directory,
                                      const char* update_directory, const char* name) {
  return ProcessInDirectories(*this, old_directory, new_directory, update_directory, name);
}

void CreateDelete::Close() {
  old_.Close();
  new_.Close();
}

std::unique_ptr<IPatchAction> NewCreatePatch(PatchMessages messages) {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) CreatePatch(std::move(messages)));
}
std::unique_ptr<IPatchAction> NewCreateDelete(PatchMessages messages) {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) CreateDelete(std::move(messages)));
}

}  // namespace corvane
