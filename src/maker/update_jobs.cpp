#include "maker/update_jobs.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "engine/apply_patch.h"
#include "engine/crc32.h"
#include "engine/create_patch.h"
#include "maker/make_progress.h"
#include "platform/file_system.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

uint64_t LittleEndian32(const uint8_t* p) {
  return static_cast<uint64_t>(p[0]) | static_cast<uint64_t>(p[1]) << 8 | static_cast<uint64_t>(p[2]) << 16 |
         static_cast<uint64_t>(p[3]) << 24;
}

// The first `count` bytes of a file; false when it is shorter or unreadable.
bool ReadFileHead(const std::string& path, size_t count, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes->resize(count);
  in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(count));
  return in && static_cast<size_t>(in.gcount()) == count;
}

}  // namespace

std::string UpdatePayloadName(const UpdateJob& job) {
  return job.from + "-" + job.to + "\\" + job.relative + ".upd";
}

void ParallelFor(size_t count, int jobs, const std::function<void(size_t)>& fn) {
  if (jobs < 1) jobs = 1;
  if (static_cast<size_t>(jobs) > count) jobs = static_cast<int>(count);
  if (jobs <= 1) {
    for (size_t i = 0; i < count; ++i) fn(i);
    return;
  }
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < jobs; ++t) {
    threads.emplace_back([&] {
      for (size_t i = next++; i < count; i = next++) fn(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

bool FileCrc32(const std::string& path, uint32_t* crc) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(1 << 20);
  uint32_t state = kCrc32Initial;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    state = Crc32Update(state, buffer.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return false;
  *crc = Crc32Final(state);
  return true;
}

bool SameContent(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) return false;
  std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
  if (!in_a || !in_b) return false;
  std::vector<char> buffer_a(1 << 18), buffer_b(1 << 18);
  while (in_a && in_b) {
    in_a.read(buffer_a.data(), static_cast<std::streamsize>(buffer_a.size()));
    in_b.read(buffer_b.data(), static_cast<std::streamsize>(buffer_b.size()));
    if (in_a.gcount() != in_b.gcount() ||
        !std::equal(buffer_a.begin(), buffer_a.begin() + in_a.gcount(), buffer_b.begin())) {
      return false;
    }
  }
  return !in_a.bad() && !in_b.bad() && in_a.eof() == in_b.eof();
}

bool UpdateIsCurrent(const std::string& update, const std::string& new_file, const std::string& old_file) {
  int64_t update_time = 0, new_time = 0, old_time = 0;
  if (!platform::FileModificationTime(update.c_str(), &update_time)) return false;
  if (!platform::FileModificationTime(new_file.c_str(), &new_time) || update_time < new_time) return false;
  if (!old_file.empty() && platform::FileModificationTime(old_file.c_str(), &old_time) && update_time < old_time) {
    return false;
  }
  return true;
}

void RunUpdateJob(UpdateJob* job) {
  if (job->kind == UpdateJob::kDeleted) return;  // one byte, made when packing
  std::error_code ec;
  fs::create_directories(fs::path(job->update_path).parent_path(), ec);
  // A path that never exists stands for the missing old file of a new file,
  // so that CreatePatch writes kind 0.
  const std::string old_path =
      job->old_file ? job->old_file->path : job->update_path + ".no-old-file";
  job->reused = UpdateIsCurrent(job->update_path, job->new_file->path, job->old_file ? old_path : "");
  if (job->reused) {
    // Every update was applied and compared when it was made (one that
    // failed was deleted), so a reused one is only checked against the
    // lengths of its two files, which catches a tree swapped for other files
    // with older dates.
    std::vector<uint8_t> head;
    if (ReadFileHead(job->update_path, 13, &head) && head[0] == (job->old_file ? 1 : 0) &&
        LittleEndian32(&head[1]) == job->new_file->size &&
        LittleEndian32(&head[5]) == (job->old_file ? job->old_file->size : 0) &&
        platform::FileSizeOf(job->update_path.c_str(), &job->update_size)) {
      return;
    }
    job->reused = false;
    std::error_code ignored;
    fs::remove(job->update_path, ignored);
  }
  {
    std::unique_ptr<IPatchAction> create(NewCreatePatch());
    if (!create || create->Process(old_path.c_str(), job->new_file->path.c_str(), job->update_path.c_str(),
                                   true) != kPatchDone) {
      job->error = "cannot make the update " + job->update_path + " from " + job->new_file->path;
      return;
    }
  }
  // Check: apply the update and compare the result with the new tree.
  const std::string check = job->update_path + ".check";
  {
    std::unique_ptr<IPatchAction> apply(NewApplyPatch());
    const int result = apply ? apply->Process(check.c_str(), job->update_path.c_str(), old_path.c_str(), true)
                             : kPatchFailed;
    apply.reset();
    if (result != kPatchDone || !SameContent(check, job->new_file->path)) {
      fs::remove(check, ec);
      // A cached update that fails its check is not kept for the next make.
      fs::remove(job->update_path, ec);
      job->error = "the update " + job->update_path + " does not rebuild " + job->new_file->path;
      return;
    }
  }
  fs::remove(check, ec);
  if (!platform::FileSizeOf(job->update_path.c_str(), &job->update_size)) {
    job->error = "cannot read " + job->update_path;
  }
}

void RunUpdateJobs(std::vector<UpdateJob>* jobs, int threads, MakeProgress* progress) {
  uint64_t total = 0;
  for (const UpdateJob& job : *jobs) total += job.new_file ? job.new_file->size : 0;
  progress->Start("updates", jobs->size(), total);
  ParallelFor(jobs->size(), threads, [&](size_t i) {
    UpdateJob& job = (*jobs)[i];
    RunUpdateJob(&job);
    progress->Advance(job.new_file ? job.new_file->size : 0);
  });
  progress->Finish();
}

}  // namespace corvane::maker
