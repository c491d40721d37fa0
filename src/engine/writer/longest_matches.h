#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/writer/cheapest_parse.h"
#include "engine/writer/old_file_index.h"

namespace corvane {

// How hard LongestMatches looks.
struct MatchEffort {
  // Candidates of one hash compared per position.
  int32_t candidates = 16;
  // A position that continues an agreement at least this long is taken as
  // it stands, without a look-up of its own.
  int32_t settled_length = 48;
  // Positions an agreement found by look-up is followed back at most.
  int32_t max_backward = 1 << 16;

  // No limit: every agreement the index can show is found. Meant for small
  // files, where the work (new length times old length at worst) stays small.
  static MatchEffort Exhaustive();
  // The effort for files of these sizes.
  static MatchEffort For(int64_t old_length, int64_t new_length);
};

// The longest agreement with the old file at each position of a stretch of
// the new file. An agreement found at one position also holds, one byte
// shorter, at the next; an agreement found by look-up is followed backwards to
// the positions before it, which an index with a stride would not find.
// Agreements never reach past the end of the stretch.
class LongestMatches {
 public:
  // All bytes are kept, not copied; `index` may be empty.
  LongestMatches(const uint8_t* old_bytes, int32_t old_length, const uint8_t* new_bytes,
                 int32_t new_length, const OldFileIndex& index, const MatchEffort& effort)
      : old_(old_bytes),
        old_length_(old_length),
        new_(new_bytes),
        new_length_(new_length),
        index_(index),
        effort_(effort) {}

  // Prepares for stretches of at most `max_length` positions; false when
  // memory runs out.
  bool Reserve(int32_t max_length);

  // Finds the agreements of new-file positions [start, start + length);
  // `progress`, when set, hears the new-file position reached now and then.
  // The answer stays valid until the next call.
  StretchMatches Find(int32_t start, int32_t length,
                      const std::function<void(int64_t position)>& progress);

 private:
  void FollowBack(int32_t start, int32_t j, int32_t offset, int32_t length);
  void MatchFileStart(int32_t length);

  const uint8_t* old_;
  int32_t old_length_;
  const uint8_t* new_;
  int32_t new_length_;
  const OldFileIndex& index_;
  MatchEffort effort_;
  int32_t capacity_ = 0;
  std::unique_ptr<int32_t[]> offset_;
  std::unique_ptr<int32_t[]> length_;
};

}  // namespace corvane
