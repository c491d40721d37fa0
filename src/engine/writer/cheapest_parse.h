#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

// What the runs of an update cost in its bytes (docs/formats/update-file.md):
// a copy run is its length and offset plus the insert-length field of its
// record; an insert run after a copy adds its position and its bytes; an
// insert run with nothing before it also needs the empty copy field.
inline constexpr int64_t kCopyRunCost = 12;
inline constexpr int64_t kInsertAfterCopyCost = 4;  // plus the bytes
inline constexpr int64_t kFirstInsertCost = 12;     // plus the bytes

// One run of a parse: a copy of `length` old bytes from `offset`, or (offset
// < 0) an insert of `length` new bytes.
struct ParseRun {
  int32_t offset;
  int32_t length;
};

// The longest agreement known at each position of a stretch of the new file:
// `length[j]` old bytes from `offset[j]` equal the new bytes from the
// stretch's position j (length 0: none).
struct StretchMatches {
  const int32_t* offset;
  const int32_t* length;
};

// How the parse of the new file stands between stretches.
enum class ParseState : uint8_t {
  kStart,        // nothing made yet, or only inserts from the file's start
  kAfterCopy,    // the last run is a copy
  kAfterInsert,  // the last run is an insert that follows a copy
};

// Chooses the cheapest runs for one stretch of the new file at a time. With a
// fixed cost per copy some cheapest parse copies as far as each agreement
// goes (a shorter copy only makes the run after it start sooner), so the
// choice at each position is between its longest agreement and one inserted
// byte; the cheapest choice is found over every position of the stretch.
class CheapestParse {
 public:
  // Prepares for stretches of at most `max_length` positions; false when
  // memory runs out.
  bool Reserve(int32_t max_length);

  // The cheapest runs for the `length` positions of the stretch that starts
  // at new-file position `start`, given `matches` (no agreement may reach past
  // the stretch), entered in `*state`; `*state` is left as the parse ends.
  // The runs are answered in order; neighbouring inserts form one run.
  const std::vector<ParseRun>& Choose(int64_t start, int32_t length, const StretchMatches& matches,
                                      ParseState* state);

 private:
  int32_t capacity_ = 0;
  std::unique_ptr<uint32_t[]> cost_[3];    // by ParseState, per position
  std::unique_ptr<int32_t[]> copy_from_;   // where the copy ending here starts
  std::unique_ptr<uint8_t[]> from_state_;  // low 2 bits: copy's state; next 2: insert's
  std::vector<ParseRun> runs_;
};

}  // namespace corvane
