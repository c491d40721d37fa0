#include <pthread.h>
#include <unistd.h>

#include <vector>

#include "platform/parallel_pieces.h"
#include "platform/parallel_work.h"

namespace corvane::platform {

namespace {

void* WorkerMain(void* parameter) {
  const PieceWorker* worker = static_cast<const PieceWorker*>(parameter);
  worker->queue->Run(worker->slot);
  return nullptr;
}

}  // namespace

unsigned ProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

void RunInParallel(size_t count, unsigned threads, const ParallelWork& work) {
  PieceQueue queue(count, work);
  const unsigned helpers_wanted = HelperThreadCount(count, threads);
  std::vector<PieceWorker> workers(helpers_wanted);
  std::vector<pthread_t> helpers;
  for (unsigned t = 0; t < helpers_wanted; ++t) {
    workers[t] = PieceWorker{&queue, t + 1};
    pthread_t thread;
    // A thread that cannot start leaves its pieces to the others.
    if (pthread_create(&thread, nullptr, WorkerMain, &workers[t]) != 0) break;
    helpers.push_back(thread);
  }
  queue.Run(0);
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
