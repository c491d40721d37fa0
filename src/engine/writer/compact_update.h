#pragma once

#include <cstdint>
#include <string>

#include "engine/mapped_file.h"
#include "engine/output_file.h"
#include "engine/patch_action.h"
#include "engine/writer/difference_search.h"
#include "engine/writer/pending_record.h"

namespace corvane {

// Writes the update file that turns an old file into a new one, like
// CreatePatch, but copies from wherever the new bytes lie in the old file and
// chooses its runs by what they cost in the update (cheapest_parse.h), so
// that moved and reordered content is copied rather than carried. Its bytes
// differ from CreatePatch's; ApplyPatch reads both alike.
class CreateCompactPatch final : public IPatchAction {
 public:
  // New-file positions matched and parsed at a time; the memory of a write
  // grows with it (about 25 bytes a position).
  static constexpr int32_t kStretchLength = 1 << 20;

  CreateCompactPatch() = default;
  // A shorter stretch, for tests that cross its boundaries with small files.
  explicit CreateCompactPatch(int32_t stretch_length) : stretch_length_(stretch_length) {}
  ~CreateCompactPatch() override = default;

  // Hears how much of the new file is left to search, at most about every
  // 256 KiB or every second, and once with 0 at the end.
  void SetProgressHook(DiffProgress::Hook hook) { progress_.SetHook(std::move(hook)); }

  // As CreatePatch::Process: writes the update from the old file at
  // `old_path` (which may be missing or empty: kind 0) to the new file at
  // `new_path` into `update_path`, unless an update file there is up to date;
  // `flag` is not used. Identical files give the unchanged shape. kPatchDone
  // when written; kPatchFailed when the update cannot be written, the new file
  // cannot be read, a file is 2 GiB or more, or memory runs out. A failed
  // update file is deleted.
  PatchResult Process(const char* old_path, const char* new_path, const char* update_path,
                      bool flag) override;
  PatchResult ProcessFile(const char* old_directory, const char* new_directory,
                          const char* update_directory, const char* name) override;
  void Close() override;

 private:
  PatchResult Write(const char* old_path, const char* new_path, const char* update_path);
  bool WriteRuns(const uint8_t* old_bytes, int32_t old_length, const uint8_t* new_bytes,
                 int32_t new_length, const std::string& progress_name, PendingRecord& record);

  int32_t stretch_length_ = kStretchLength;
  MappedFile new_;
  MappedFile old_;
  OutputFile output_;
  DiffProgress progress_;
};

// Factory; null when memory runs out.
std::unique_ptr<IPatchAction> NewCreateCompactPatch();

}  // namespace corvane
