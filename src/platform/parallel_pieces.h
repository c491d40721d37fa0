#pragma once

// What the backends of RunInParallel (parallel_work.h) share: handing out
// the pieces and sizing the team. No system calls; each backend starts and
// joins the helper threads its own way.

#include <atomic>
#include <cstddef>

#include "platform/parallel_work.h"

namespace corvane::platform {

// The pieces of one RunInParallel call, each taken by the next thread free.
class PieceQueue {
 public:
  PieceQueue(size_t count, const ParallelWork& work) : count_(count), work_(work) {}

  // Runs pieces as `slot` until none is left.
  void Run(unsigned slot) {
    for (size_t i = next_++; i < count_; i = next_++) work_(i, slot);
  }

 private:
  const size_t count_;
  std::atomic<size_t> next_{0};
  const ParallelWork& work_;
};

// A helper thread's share: the queue and the slot it runs as.
struct PieceWorker {
  PieceQueue* queue;
  unsigned slot;
};

// How many threads RunInParallel starts beside the caller's for `count`
// pieces on at most `threads` threads.
inline unsigned HelperThreadCount(size_t count, unsigned threads) {
  if (threads <= 1 || count <= 1) return 0;
  return static_cast<unsigned>(threads < count ? threads : count) - 1;
}

}  // namespace corvane::platform
