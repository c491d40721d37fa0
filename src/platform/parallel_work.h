#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace corvane::platform {

// Work that splits into independent pieces (hashing the items of a payload)
// spread over the processors, so that a player's machine with several cores
// finishes it in a fraction of the time.

// The number of processors the program may use; at least 1.
unsigned ProcessorCount();

// Calls work(i, slot) once for every i in [0, count), on up to `threads`
// threads (the caller's among them), each taking the next piece as it
// finishes one; returns when every call has returned. `slot` (below
// `threads`, or 0 when `threads` is 0) is the calling thread's own: state
// kept per slot is never used by two threads at once. `work` must be safe to
// call from several threads. A thread that cannot be started leaves its
// share to the others: every piece is always done.
using ParallelWork = std::function<void(size_t piece, unsigned slot)>;
void RunInParallel(size_t count, unsigned threads, const ParallelWork& work);

// One piece of work on a thread of its own while the caller goes on (the
// payload's digests while the installation is checked). Wait returns once it
// has ended; the destructor waits too. Where no thread can be started, Start
// does the work before it returns.
class BackgroundWork {
 public:
  BackgroundWork();
  ~BackgroundWork();
  BackgroundWork(const BackgroundWork&) = delete;
  BackgroundWork& operator=(const BackgroundWork&) = delete;

  // At most once per object.
  void Start(std::function<void()> work);
  // Returns at once when nothing was started or it has ended.
  void Wait();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::platform
