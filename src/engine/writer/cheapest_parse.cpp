#include "engine/writer/cheapest_parse.h"

#include <algorithm>
#include <new>

namespace corvane {

namespace {

constexpr uint32_t kUnreached = 0xFFFFFFFFu;

int StateIndex(ParseState state) { return static_cast<int>(state); }

}  // namespace

bool CheapestParse::Reserve(int32_t max_length) {
  if (max_length <= capacity_) return true;
  const size_t slots = static_cast<size_t>(max_length) + 1;
  for (auto& cost : cost_) cost.reset(new (std::nothrow) uint32_t[slots]);
  copy_from_.reset(new (std::nothrow) int32_t[slots]);
  from_state_.reset(new (std::nothrow) uint8_t[slots]);
  bool ok = copy_from_ && from_state_;
  for (auto& cost : cost_) ok = ok && cost;
  capacity_ = ok ? max_length : 0;
  return ok;
}

const std::vector<ParseRun>& CheapestParse::Choose(int64_t start, int32_t length,
                                                   const StretchMatches& matches,
                                                   ParseState* state) {
  runs_.clear();
  if (length <= 0 || length > capacity_) return runs_;
  uint32_t* at_start = cost_[StateIndex(ParseState::kStart)].get();
  uint32_t* after_copy = cost_[StateIndex(ParseState::kAfterCopy)].get();
  uint32_t* after_insert = cost_[StateIndex(ParseState::kAfterInsert)].get();
  const size_t slots = static_cast<size_t>(length) + 1;
  for (auto& cost : cost_) std::fill(cost.get(), cost.get() + slots, kUnreached);
  std::fill(from_state_.get(), from_state_.get() + slots, uint8_t{0});
  cost_[StateIndex(*state)][0] = 0;

  for (int32_t j = 0; j < length; ++j) {
    // The cheapest way to have made everything before j, whatever came last.
    uint32_t best = at_start[j];
    ParseState best_state = ParseState::kStart;
    if (after_copy[j] < best) best = after_copy[j], best_state = ParseState::kAfterCopy;
    if (after_insert[j] < best) best = after_insert[j], best_state = ParseState::kAfterInsert;
    if (best == kUnreached) continue;

    const int32_t copy = matches.length[j];
    if (copy > 0) {
      const int32_t end = j + copy;
      const uint32_t cost = best + static_cast<uint32_t>(kCopyRunCost);
      if (cost < after_copy[end]) {
        after_copy[end] = cost;
        copy_from_[end] = j;
        from_state_[end] =
            static_cast<uint8_t>((from_state_[end] & ~3u) | static_cast<unsigned>(best_state));
      }
    }
    // One more inserted byte: it continues an insert or opens one.
    uint32_t opened = after_copy[j] == kUnreached
                          ? kUnreached
                          : after_copy[j] + static_cast<uint32_t>(kInsertAfterCopyCost) + 1;
    uint32_t continued = after_insert[j] == kUnreached ? kUnreached : after_insert[j] + 1;
    if (opened < continued) {
      after_insert[j + 1] = opened;
      from_state_[j + 1] = static_cast<uint8_t>((from_state_[j + 1] & 3u) |
                                                (StateIndex(ParseState::kAfterCopy) << 2));
    } else if (continued != kUnreached) {
      after_insert[j + 1] = continued;
      from_state_[j + 1] = static_cast<uint8_t>((from_state_[j + 1] & 3u) |
                                                (StateIndex(ParseState::kAfterInsert) << 2));
    }
    if (at_start[j] != kUnreached) {
      at_start[j + 1] =
          at_start[j] + 1 + (start + j == 0 ? static_cast<uint32_t>(kFirstInsertCost) : 0);
    }
  }

  ParseState end_state = ParseState::kStart;
  uint32_t end_cost = at_start[length];
  if (after_copy[length] < end_cost) {
    end_cost = after_copy[length];
    end_state = ParseState::kAfterCopy;
  }
  if (after_insert[length] < end_cost) end_state = ParseState::kAfterInsert;

  // Back from the end, then turned around.
  ParseState walk = end_state;
  int32_t j = length;
  while (j > 0) {
    if (walk == ParseState::kAfterCopy) {
      const int32_t from = copy_from_[j];
      runs_.push_back(ParseRun{matches.offset[from], j - from});
      walk = static_cast<ParseState>(from_state_[j] & 3u);
      j = from;
      continue;
    }
    if (!runs_.empty() && runs_.back().offset < 0) {
      ++runs_.back().length;
    } else {
      runs_.push_back(ParseRun{-1, 1});
    }
    if (walk == ParseState::kAfterInsert)
      walk = static_cast<ParseState>((from_state_[j] >> 2) & 3u);
    --j;
  }
  std::reverse(runs_.begin(), runs_.end());
  *state = end_state;
  return runs_;
}

}  // namespace corvane
