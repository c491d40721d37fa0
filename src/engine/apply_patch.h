#pragma once

#include <functional>

#include "engine/mapped_file.h"
#include "engine/patch_action.h"
#include "engine/patch_messages.h"
#include "platform/file_io.h"

namespace corvane {

// Rebuilds a new file from an old file and an update file (docs/formats/
// update-file.md), checking the old file's length before anything is written
// and the new file's checksum and length afterwards. Its messages go where
// the maker of the action says (patch_messages.h): by default to standard
// output and to "patch.log".
//
// A hostile update file cannot make it read outside the old file or the update
// file, nor write more than the new size it declares.
class ApplyPatch final : public IPatchAction {
 public:
  explicit ApplyPatch(PatchMessages messages = PatchMessages::Standard())
      : messages_(std::move(messages)) {}
  explicit ApplyPatch(const MappedFileLimits& limits,
                      PatchMessages messages = PatchMessages::Standard())
      : old_(limits), update_(limits), messages_(std::move(messages)) {}
  ~ApplyPatch() override = default;  // update, then old: every window and handle

  // Writes the new file to `output_path` from the update at `update_path` and
  // the old file at `old_path`. Answers kPatchDone when written and verified,
  // kPatchNothingToDo for a deletion update (`output_path` is deleted) or the
  // unchanged shape (`output_path` untouched), kPatchFailed otherwise. A failure
  // before the output is created leaves `output_path` untouched; after it, the
  // output is deleted when `remove_on_failure` is set and left unverified if not.
  PatchResult Process(const char* output_path, const char* update_path, const char* old_path,
                      bool remove_on_failure) override;

  // For a `name` whose last extension is ".upd" (any case): Process(new_directory
  // + name less ".upd", update_directory + name, old_directory + name less
  // ".upd", true). Any other name answers kPatchNothingToDo at once.
  PatchResult ProcessFile(const char* new_directory, const char* update_directory,
                          const char* old_directory, const char* name) override;

  void Close() override;

  // Called each time the rebuild has gone through one mapped window of the
  // old or the update file, so that a caller with a window keeps it
  // answering while a large file is rebuilt. Empty: nothing is called.
  void SetProgress(std::function<void()> progress) { progress_ = std::move(progress); }

  // The new file is made durable before Process answers kPatchDone (see
  // OutputFile::SetDurable): for a file that is renamed over an installed
  // one. Off by default: a file checked and thrown away needs no disk.
  void SetDurableOutput(bool durable) { durable_output_ = durable; }

  // Where the new file's bytes go instead of a file: Process then writes,
  // creates and deletes nothing (`output_path` is not used and may be null),
  // and hands every byte of the new file, in order, to `consume`; its
  // answer is as for a file (kPatchDone only for a rebuilt file whose size
  // and checksum hold). For a maker that proves an update at memory speed.
  using Consumer = std::function<void(const uint8_t* data, size_t size)>;
  void SetConsumer(Consumer consume) { consume_ = std::move(consume); }

  // Why the output could not be created by the last Process (kNone when it
  // was, or when the failure lay elsewhere).
  platform::FileFault OutputFault() const { return output_fault_; }

 private:
  MappedFile old_;
  MappedFile update_;
  PatchMessages messages_;
  std::function<void()> progress_;
  bool durable_output_ = false;
  Consumer consume_;
  platform::FileFault output_fault_ = platform::FileFault::kNone;
};

// Makes an ApplyPatch; null when memory runs out.
std::unique_ptr<IPatchAction> NewApplyPatch(PatchMessages messages = PatchMessages::Standard());

}  // namespace corvane
