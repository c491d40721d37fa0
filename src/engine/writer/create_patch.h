#pragma once

#include "engine/mapped_file.h"
#include "engine/output_file.h"
#include "engine/patch_action.h"
#include "engine/writer/difference_search.h"

namespace corvane {

// Writes the update file that turns an old file into a new one
// (docs/formats/update-file.md); ApplyPatch reverses it. The layout of the
// update is fully determined by the two files (difference_search.h).
class CreatePatch final : public IPatchAction {
 public:
  CreatePatch() : CreatePatch(WriterLimits()) {}
  explicit CreatePatch(const MappedFileLimits& limits) : new_(limits), old_(limits) {}

  // The writer's limits: every page it has read may stay resident. Where new
  // content has no match the search radius grows far past any small budget
  // and reads the same old windows again and again; handing them back to the
  // system made a third of the time go to page faults. The memory of a write
  // is then at most the two files' size, as with other differs.
  static MappedFileLimits WriterLimits() {
    MappedFileLimits limits;
    limits.resident_bytes = int64_t{1} << 40;
    return limits;
  }
  ~CreatePatch() override = default;

  // Hears how much of the new file is left to search, at most about every
  // 256 KiB or every second, and once with 0 at the end.
  void SetProgressHook(DiffProgress::Hook hook) { progress_.SetHook(std::move(hook)); }

  // Writes the update from the old file at `old_path` (which may be missing:
  // kind 0) to the new file at `new_path` into `update_path`; `flag` is not
  // used. An update file not older than the new file and the old file (when
  // there is one) is up to date: kPatchDone at once, nothing written. Answers
  // kPatchDone when written, kPatchFailed when the update cannot be written, the
  // new file cannot be read, or a file is too large for the format (2 GiB and
  // more); a failed update file is deleted, never left half written.
  PatchResult Process(const char* old_path, const char* new_path, const char* update_path,
                      bool flag) override;

  // Process(old_directory + name, new_directory + name, update_directory +
  // name + ".upd", true).
  PatchResult ProcessFile(const char* old_directory, const char* new_directory,
                          const char* update_directory, const char* name) override;

  void Close() override;

 private:
  PatchResult Write(const char* old_path, const char* new_path, const char* update_path);

  MappedFile new_;
  MappedFile old_;
  OutputFile output_;
  DiffProgress progress_;
};

// Writes the one-byte deletion update for a file that the new version no
// longer has (or has empty).
class CreateDelete final : public IPatchAction {
 public:
  ~CreateDelete() override = default;

  // When the new file at `new_path` is missing or empty, writes the byte 2 to
  // `update_path`; otherwise writes nothing. `old_path` is opened but not read;
  // `flag` is not used. kPatchDone, or kPatchFailed when the update cannot be
  // written ("Cannot write %s\n" on standard output).
  PatchResult Process(const char* old_path, const char* new_path, const char* update_path,
                      bool flag) override;
  PatchResult ProcessFile(const char* old_directory, const char* new_directory,
                          const char* update_directory, const char* name) override;
  void Close() override;

 private:
  MappedFile new_;
  MappedFile old_;
};

// Whether the update at `update_path` is not older than the new file and the
// old file (when there is one); a stale one is deleted. Shared by the writers.
bool UpdateUpToDate(const char* old_path, const char* new_path, const char* update_path);

// action.Process(old_directory + name, new_directory + name, update_directory
// + name + ".upd", true); kPatchFailed when a path is too long.
PatchResult ProcessInDirectories(IPatchAction& action, const char* old_directory,
                                 const char* new_directory, const char* update_directory,
                                 const char* name);

// Factories; null when memory runs out.
std::unique_ptr<IPatchAction> NewCreatePatch();
std::unique_ptr<IPatchAction> NewCreateDelete();

}  // namespace corvane
