#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "engine/mapped_file.h"
#include "engine/patch_messages.h"
#include "engine/writer/pending_record.h"

namespace corvane {

// The progress line of update creation, "%20s %10d KB\r" printed through the
// writer's messages with a name and the remaining length in KiB. A line is skipped while the
// remaining length has dropped by less than 256 KiB and less than a second
// has passed since the last one; a remaining length of 0 always prints.
class DiffProgress {
 public:
  explicit DiffProgress(const PatchMessages& messages) : messages_(messages) {}

  // Called with the remaining length of the new file whenever a line is
  // shown, for a caller that draws progress of its own.
  using Hook = std::function<void(int64_t remaining)>;
  void SetHook(Hook hook) { hook_ = std::move(hook); }

  // Starts as if a line had just been printed for `remembered` bytes.
  void Reset(int64_t remembered);
  void Show(const char* name, int64_t remaining);

 private:
  const PatchMessages& messages_;
  Hook hook_;
  int64_t last_remaining_ = 0;
  std::chrono::steady_clock::time_point last_time_;
};

// Finds the runs that rebuild `new_file` from `old_file` and adds them, in
// order, to `record`; answers the byte-sum checksum of the new file through
// `checksum`. False when a window could not be mapped (the runs are then
// incomplete).
//
// The search follows an expected old position: it copies while old and new
// agree (at least 9 bytes, or the rest of the file), otherwise looks for a run
// of at least 16 equal bytes within a radius of the expected position (256
// bytes, growing by 10 % with every unmatched insert) and, failing that,
// inserts a few bytes (2, growing likewise). The layout of the update depends
// on every detail of this, so it is reproduced exactly: the radius and step in
// single-precision float, ties rounded to even, candidates measured over at
// most 1,024 bytes, later candidates winning ties.
bool RunDifferenceSearch(MappedFile& old_file, MappedFile& new_file, PendingRecord& record,
                         const std::string& progress_name, DiffProgress& progress,
                         uint32_t* checksum);

// The radius and the insert step for a growth factor (exposed for tests).
int64_t SearchRadius(float growth, int32_t old_length);
int64_t InsertStep(float growth);
float GrowFactor(float growth);

}  // namespace corvane
