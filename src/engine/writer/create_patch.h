#pragma once

#include "engine/mapped_file.h"
#include "engine/output_file.h"
#include "engine/patch_action.h"
#include "engine/patch_messages.h"
#include "engine/writer/difference_search.h"
#include "engine/writer/update_writer.h"

namespace corvane {

// Writes the update file that turns an old file into a new one
// (docs/formats/update-file.md); ApplyPatch reverses it. The layout of the
// update is fully determined by the two files (difference_search.h). What
// it does with the files is UpdateWriter's (update_writer.h).
class CreatePatch final : public UpdateWriter {
 public:
  explicit CreatePatch(PatchMessages messages = PatchMessages::Standard())
      : UpdateWriter(WriterLimits(), std::move(messages)) {}
  explicit CreatePatch(const MappedFileLimits& limits,
                       PatchMessages messages = PatchMessages::Standard())
      : UpdateWriter(limits, std::move(messages)) {}

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

 private:
  PatchResult Write(const char* old_path, const char* new_path, const char* update_path) override;
};

// Writes the one-byte deletion update for a file that the new version no
// longer has (or has empty).
class CreateDelete final : public IPatchAction {
 public:
  explicit CreateDelete(PatchMessages messages = PatchMessages::Standard())
      : messages_(std::move(messages)) {}
  ~CreateDelete() override = default;

  // When the new file at `new_path` is missing or empty, writes the byte 2 to
  // `update_path`; otherwise writes nothing. `old_path` is opened but not read;
  // `flag` is not used. kPatchDone, or kPatchFailed when the update cannot be
  // written ("Cannot write %s\n" printed through its messages).
  PatchResult Process(const char* old_path, const char* new_path, const char* update_path,
                      bool flag) override;
  PatchResult ProcessFile(const char* old_directory, const char* new_directory,
                          const char* update_directory, const char* name) override;
  void Close() override;

 private:
  MappedFile new_;
  MappedFile old_;
  PatchMessages messages_;
};

// Factories; null when memory runs out.
std::unique_ptr<IPatchAction> NewCreatePatch(PatchMessages messages = PatchMessages::Standard());
std::unique_ptr<IPatchAction> NewCreateDelete(PatchMessages messages = PatchMessages::Standard());

}  // namespace corvane
