#include "engine/writer/update_writer.h"

#include <string>

#include "engine/update_format.h"
#include "engine/update_path.h"
#include "foundation/app_frame.h"
#include "platform/file_system.h"

namespace corvane {

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

PatchResult UpdateWriter::Process(const char* old_path, const char* new_path,
                                  const char* update_path, bool /*flag*/) {
  if (UpdateUpToDate(old_path, new_path, update_path)) return kPatchDone;
  PatchResult result = Write(old_path, new_path, update_path);
  if (result == kPatchFailed) {
    Close();
    platform::RemoveFile(update_path);
  }
  return result;
}

PatchResult UpdateWriter::ProcessFile(const char* old_directory, const char* new_directory,
                                      const char* update_directory, const char* name) {
  return ProcessInDirectories(*this, old_directory, new_directory, update_directory, name);
}

void UpdateWriter::Close() {
  new_.Close();
  old_.Close();
  output_.Close();
}

bool UpdateWriter::Open(const char* old_path, const char* new_path, const char* update_path,
                        MissingNewFileReport missing_new_file) {
  new_.Open(new_path, 0, MappedFile::kWholeFile);
  old_.Open(old_path, 0, MappedFile::kWholeFile);
  progress_.Reset(2 * static_cast<int64_t>(new_.Length()));

  if (!output_.Create(update_path)) {
    messages_.Print("Cannot write %s\n", update_path);
    return false;
  }
  uint64_t new_size = 0;
  const bool new_exists = platform::FileSizeOf(new_path, &new_size);
  if (!new_.IsOpen() && !(new_exists && new_size == 0)) {
    missing_new_file(new_path);
    return false;
  }
  if (new_.FileSize() > MappedFile::kWholeFile || old_.FileSize() > MappedFile::kWholeFile) {
    ReportError("File %s: too large for an update",
                new_.FileSize() > MappedFile::kWholeFile ? new_path : old_path);
    return false;
  }
  return true;
}

PatchResult UpdateWriter::Finish(PendingRecord& record, uint32_t checksum, const char* update_path,
                                 std::chrono::steady_clock::time_point started) {
  progress_.Show("", 0);
  record.Flush();
  output_.WriteField(static_cast<int32_t>(checksum));
  if (old_.MappingFailed() || new_.MappingFailed()) return kPatchFailed;
  if (!record.ok() || !output_.Close()) {
    messages_.Print("Cannot write %s\n", update_path);
    return kPatchFailed;
  }
  Close();

  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  ReportLog("Diff of %s took %d ms", update_path, static_cast<int>(took.count()));
  return kPatchDone;
}

}  // namespace corvane
