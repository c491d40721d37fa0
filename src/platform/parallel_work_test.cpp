#include "platform/parallel_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace corvane::platform {
namespace {

// Every piece runs exactly once, whatever the number of threads asked for,
// including more threads than pieces and none at all.
TEST(ParallelWorkTest, EveryPieceRunsOnceOnAnyNumberOfThreads) {
  for (unsigned threads : {0u, 1u, 2u, 8u}) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{3}, size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      std::vector<std::atomic<int>> busy(threads > 0 ? threads : 1);
      std::atomic<bool> slot_shared{false};
      RunInParallel(count, threads, [&](size_t i, unsigned slot) {
        if (slot >= busy.size() || busy[slot]++ != 0) slot_shared = true;
        runs[i]++;
        busy[slot]--;
      });
      EXPECT_FALSE(slot_shared) << "a slot out of range or used by two threads at once";
      for (size_t i = 0; i < count; ++i) {
        ASSERT_EQ(runs[i].load(), 1)
            << "piece " << i << " of " << count << " on " << threads << " threads";
      }
    }
  }
  EXPECT_GE(ProcessorCount(), 1u);
}

// The work runs beside the caller and has ended when Wait returns; Wait
// without work, twice, and the destructor's wait are harmless.
TEST(ParallelWorkTest, BackgroundWorkHasEndedWhenWaitReturns) {
  BackgroundWork idle;
  idle.Wait();
  std::atomic<bool> go{false};
  std::atomic<int> done{0};
  BackgroundWork work;
  work.Start([&] {
    // Bounded, so that a Start that had to run the work itself fails the
    // test rather than hangs it.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!go.load() && std::chrono::steady_clock::now() < give_up) {
    }
    done = go.load() ? 1 : -1;
  });
  EXPECT_EQ(done.load(), 0) << "the work waits for the caller: it must run beside it";
  go = true;
  work.Wait();
  EXPECT_EQ(done.load(), 1);
  work.Wait();
  {
    BackgroundWork ended_by_destructor;
    ended_by_destructor.Start([&] { done = 2; });
  }
  EXPECT_EQ(done.load(), 2);
}

}  // namespace
}  // namespace corvane::platform
