#include <windows.h>

#include <vector>

#include "platform/parallel_pieces.h"
#include "platform/parallel_work.h"

namespace corvane::platform {

namespace {

DWORD WINAPI WorkerMain(LPVOID parameter) {
  const PieceWorker* worker = static_cast<const PieceWorker*>(parameter);
  worker->queue->Run(worker->slot);
  return 0;
}

}  // namespace

unsigned ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1;
}

void RunInParallel(size_t count, unsigned threads, const ParallelWork& work) {
  PieceQueue queue(count, work);
  const unsigned helpers_wanted = HelperThreadCount(count, threads);
  std::vector<PieceWorker> workers(helpers_wanted);
  std::vector<HANDLE> helpers;
  for (unsigned t = 0; t < helpers_wanted; ++t) {
    workers[t] = PieceWorker{&queue, t + 1};
    HANDLE thread = CreateThread(nullptr, 0, WorkerMain, &workers[t], 0, nullptr);
    if (thread == nullptr) break;  // the pieces are shared by the threads there are
    helpers.push_back(thread);
  }
  queue.Run(0);
  for (HANDLE thread : helpers) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

struct BackgroundWork::Impl {
  std::function<void()> work;
  HANDLE thread = nullptr;
};

namespace {
DWORD WINAPI BackgroundMain(LPVOID parameter) {
  static_cast<BackgroundWork::Impl*>(parameter)->work();
  return 0;
}
}  // namespace

BackgroundWork::BackgroundWork() : impl_(std::make_unique<Impl>()) {}
BackgroundWork::~BackgroundWork() { Wait(); }

void BackgroundWork::Start(std::function<void()> work) {
  Wait();
  impl_->work = std::move(work);
  impl_->thread = CreateThread(nullptr, 0, BackgroundMain, impl_.get(), 0, nullptr);
  if (impl_->thread == nullptr) impl_->work();
}

void BackgroundWork::Wait() {
  if (impl_->thread == nullptr) return;
  WaitForSingleObject(impl_->thread, INFINITE);
  CloseHandle(impl_->thread);
  impl_->thread = nullptr;
}

}  // namespace corvane::platform
