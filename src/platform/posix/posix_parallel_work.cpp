#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "platform/parallel_work.h"

namespace corvane::platform {

namespace {

struct SharedWork {
  size_t count = 0;
  std::atomic<size_t> next{0};
  const ParallelWork* work = nullptr;

  void Run(unsigned slot) {
    for (size_t i = next++; i < count; i = next++) (*work)(i, slot);
  }
};

struct Worker {
  SharedWork* shared;
  unsigned slot;
};

void* WorkerMain(void* parameter) {
  const Worker* worker = static_cast<const Worker*>(parameter);
  worker->shared->Run(worker->slot);
  return nullptr;
}

}  // namespace

unsigned ProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

void RunInParallel(size_t count, unsigned threads, const ParallelWork& work) {
  SharedWork shared;
  shared.count = count;
  shared.work = &work;
  const unsigned helpers_wanted =
      threads > 1 && count > 1 ? (threads < count ? threads : count) - 1 : 0;
  std::vector<Worker> workers(helpers_wanted);
  std::vector<pthread_t> helpers;
  for (unsigned t = 0; t < helpers_wanted; ++t) {
    workers[t] = Worker{&shared, t + 1};
    pthread_t thread;
    // A thread that cannot start leaves its pieces to the others.
    if (pthread_create(&thread, nullptr, WorkerMain, &workers[t]) != 0) break;
    helpers.push_back(thread);
  }
  shared.Run(0);
  for (pthread_t thread : helpers) pthread_join(thread, nullptr);
}

struct BackgroundWork::Impl {
  std::function<void()> work;
  pthread_t thread{};
  bool running = false;
};

namespace {
void* BackgroundMain(void* parameter) {
  static_cast<BackgroundWork::Impl*>(parameter)->work();
  return nullptr;
}
}  // namespace

BackgroundWork::BackgroundWork() : impl_(std::make_unique<Impl>()) {}
BackgroundWork::~BackgroundWork() { Wait(); }

void BackgroundWork::Start(std::function<void()> work) {
  Wait();
  impl_->work = std::move(work);
  if (pthread_create(&impl_->thread, nullptr, BackgroundMain, impl_.get()) == 0) {
    impl_->running = true;
  } else {
    impl_->work();
  }
}

void BackgroundWork::Wait() {
  if (!impl_->running) return;
  pthread_join(impl_->thread, nullptr);
  impl_->running = false;
}

}  // namespace corvane::platform
