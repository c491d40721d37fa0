#include "engine/writer/create_patch.h"

#include <chrono>
#include <new>
#include <string>

#include "engine/patch_log.h"
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

bool JoinPaths(const char* directory, const char* name, const char* suffix, std::string* path) {
  *path = std::string(directory) + name + suffix;
  return path->size() <= kMaxEnginePath;
}

}  // namespace

// An existing update file is kept when it is not older than the new file and
// than the old file, if there is one. A stale one, or one whose new file has
// gone, is deleted.
bool UpdateUpToDate(const char* old_path, const char* new_path, const char* update_path) {
  int64_t update_time = 0, new_time = 0, old_time = 0;
  if (!platform::FileModificationTime(update_path, &update_time)) return false;
  bool has_new = platform::FileModificationTime(new_path, &new_time);
  bool has_old = platform::FileModificationTime(old_path, &old_time);
  if (has_new && update_time >= new_time && (!has_old || update_time >= old_time)) return true;
  platform::RemoveFile(update_path);
  return false;
}

PatchResult CreatePatch::Process(const char* old_path, const char* new_path,
                                 const char* update_path, bool /*flag*/) {
  if (UpdateUpToDate(old_path, new_path, update_path)) return kPatchDone;
  PatchResult result = Write(old_path, new_path, update_path);
  if (result == kPatchFailed) {
    Close();
    platform::RemoveFile(update_path);
  }
  return result;
}

PatchResult CreatePatch::Write(const char* old_path, const char* new_path,
                               const char* update_path) {
  auto started = std::chrono::steady_clock::now();
  std::string progress_name = FileNamePart(old_path);

  new_.Open(new_path, 0, MappedFile::kWholeFile);
  old_.Open(old_path, 0, MappedFile::kWholeFile);
  progress_.Reset(2 * static_cast<int64_t>(new_.Length()));

  if (!output_.Create(update_path)) {
    PatchPrint("Cannot write %s\n", update_path);
    return kPatchFailed;
  }

  uint64_t new_size = 0;
  bool new_exists = platform::FileSizeOf(new_path, &new_size);
  if (!new_.IsOpen() && !(new_exists && new_size == 0)) {
    ReportErrorAt("%s(%d) : %s", kMissingNewFileSource, kMissingNewFileLine, "Error");
    return kPatchFailed;
  }
  if (new_.FileSize() > MappedFile::kWholeFile || old_.FileSize() > MappedFile::kWholeFile) {
    ReportError("File %s: too large for an update",
                new_.FileSize() > MappedFile::kWholeFile ? new_path : old_path);
    return kPatchFailed;
  }

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
  progress_.Show("", 0);
  record.Flush();
  output_.WriteField(static_cast<int32_t>(checksum));
  // A window that could not be mapped may have fed a wrong byte to the record's
  // merging: such an update is not trusted.
  if (old_.MappingFailed() || new_.MappingFailed()) return kPatchFailed;
  if (!record.ok() || !output_.Close()) {
    PatchPrint("Cannot write %s\n", update_path);
    return kPatchFailed;
  }
  Close();

  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  ReportLog("Diff of %s took %d ms", update_path, static_cast<int>(took.count()));
  return kPatchDone;
}

// The creators take one file name relative to three directories: the old
// and new trees and the folder the update goes to (name + ".upd").
PatchResult ProcessInDirectories(IPatchAction& action, const char* old_directory,
                                 const char* new_directory, const char* update_directory,
                                 const char* name) {
  std::string old_path, new_path, update_path;
  if (!JoinPaths(old_directory, name, "", &old_path) ||
      !JoinPaths(new_directory, name, "", &new_path) ||
      !JoinPaths(update_directory, name, update_format::kExtension, &update_path)) {
    return kPatchFailed;
  }
  return action.Process(old_path.c_str(), new_path.c_str(), update_path.c_str(), true);
}

PatchResult CreatePatch::ProcessFile(const char* old_directory, const char* new_directory,
                                     const char* update_directory, const char* name) {
  return ProcessInDirectories(*this, old_directory, new_directory, update_directory, name);
}

void CreatePatch::Close() {
  new_.Close();
  old_.Close();
  output_.Close();
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
    PatchPrint("Cannot write %s\n", update_path);
    return kPatchFailed;
  }
  output.WriteByte(update_format::kKindDelete);
  if (!output.Close()) {
    PatchPrint("Cannot write %s\n", update_path);
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

std::unique_ptr<IPatchAction> NewCreatePatch() {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) CreatePatch());
}
std::unique_ptr<IPatchAction> NewCreateDelete() {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) CreateDelete());
}

}  // namespace corvane
