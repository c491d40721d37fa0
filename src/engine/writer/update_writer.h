#pragma once

#include <chrono>
#include <cstdint>

#include "engine/mapped_file.h"
#include "engine/output_file.h"
#include "engine/patch_action.h"
#include "engine/patch_messages.h"
#include "engine/writer/difference_search.h"
#include "engine/writer/pending_record.h"

namespace corvane {

// The frame both update writers share (CreatePatch, CreateCompactPatch): the
// two files, the update file, its progress; keeping an update that is up to
// date, opening and checking the files, and ending the update. A writer fills
// in Write(): the header and the records between Open() and Finish().
class UpdateWriter : public IPatchAction {
 public:
  // `messages` hears what goes wrong and the progress line.
  explicit UpdateWriter(PatchMessages messages) : messages_(std::move(messages)) {}
  UpdateWriter(const MappedFileLimits& limits, PatchMessages messages)
      : new_(limits), old_(limits), messages_(std::move(messages)) {}
  ~UpdateWriter() override = default;

  // Hears how much of the new file is left to search, at most about every
  // 256 KiB or every second, and once with 0 at the end.
  void SetProgressHook(DiffProgress::Hook hook) { progress_.SetHook(std::move(hook)); }

  // Writes the update from the old file at `old_path` (which may be missing:
  // kind 0) to the new file at `new_path` into `update_path`; `flag` is not
  // used. An update file not older than the new file and the old file (when
  // there is one) is up to date: kPatchDone at once, nothing written. Answers
  // kPatchDone when written, kPatchFailed when the update cannot be written,
  // the new file cannot be read, or a file is too large for the format (2 GiB
  // and more); a failed update file is deleted, never left half written.
  PatchResult Process(const char* old_path, const char* new_path, const char* update_path,
                      bool flag) final;

  // Process(old_directory + name, new_directory + name, update_directory +
  // name + ".upd", true).
  PatchResult ProcessFile(const char* old_directory, const char* new_directory,
                          const char* update_directory, const char* name) final;

  void Close() final;

 protected:
  // How a writer reports a new file that cannot be read.
  using MissingNewFileReport = void (*)(const char* new_path);

  virtual PatchResult Write(const char* old_path, const char* new_path,
                            const char* update_path) = 0;

  // Maps both files, creates the update file and checks that the new file can
  // be read (an empty one can) and that neither is too large. False, having
  // said why, otherwise.
  bool Open(const char* old_path, const char* new_path, const char* update_path,
            MissingNewFileReport missing_new_file);

  // Ends the update after its records: the checksum, and the file closed. An
  // update is not trusted when a window of either file could not be mapped
  // (a wrong byte may have fed the record's merging) or a write failed.
  PatchResult Finish(PendingRecord& record, uint32_t checksum, const char* update_path,
                     std::chrono::steady_clock::time_point started);

  MappedFile new_;
  MappedFile old_;
  OutputFile output_;
  PatchMessages messages_;
  DiffProgress progress_{messages_};
};

// Whether the update at `update_path` is not older than the new file and the
// old file (when there is one); a stale one is deleted.
bool UpdateUpToDate(const char* old_path, const char* new_path, const char* update_path);

// action.Process(old_directory + name, new_directory + name, update_directory
// + name + ".upd", true); kPatchFailed when a path is too long.
PatchResult ProcessInDirectories(IPatchAction& action, const char* old_directory,
                                 const char* new_directory, const char* update_directory,
                                 const char* name);

}  // namespace corvane
