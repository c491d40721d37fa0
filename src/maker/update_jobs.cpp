#include "maker/update_jobs.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

#include "engine/apply_patch.h"
#include "engine/crc32.h"
#include "engine/writer/compact_update.h"
#include "engine/writer/create_patch.h"
#include "engine/writer/whole_insert_update.h"
#include "maker/cache_file.h"
#include "maker/content_hash.h"
#include "maker/make_progress.h"
#include "platform/file_system.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

// The first line of an update's record names the writer that made it.
constexpr char kExactRecordHeader[] = "patchbuild update 1";
constexpr char kCompactRecordHeader[] = "patchbuild update 1 compact";

const char* RecordHeader(UpdateWriter writer) {
  return writer == UpdateWriter::kExact ? kExactRecordHeader : kCompactRecordHeader;
}

std::string DigestText(const FileDigest& digest) {
  char text[64];
  std::snprintf(text, sizeof text, "%llu %08x %016llx",
                static_cast<unsigned long long>(digest.size), digest.crc,
                static_cast<unsigned long long>(digest.hash));
  return text;
}

bool ReadRecord(const std::string& path, UpdateWriter writer, FileDigest* digest) {
  std::ifstream in(path, std::ios::binary);
  std::string header, line;
  if (!std::getline(in, header) || header != RecordHeader(writer) || !std::getline(in, line)) {
    return false;
  }
  unsigned long long size = 0, hash = 0;
  unsigned crc = 0;
  int used = 0;
  if (std::sscanf(line.c_str(), "%llu %x %llx%n", &size, &crc, &hash, &used) != 3 ||
      static_cast<size_t>(used) != line.size()) {
    return false;
  }
  *digest = FileDigest{size, crc, hash};
  return true;
}

// What the engine would say while a make writes and proves updates: nothing.
// A failed job names its file in its error, the writers' progress lines would
// garble the make's own with several files in flight, and a make keeps no
// patch log (a proof that fails is no event of an installation).
PatchMessages MakerEngineMessages() { return PatchMessages::Silent(); }

// Applies `update` to the job's old file and tells whether the result is the
// new file (by digest). The result is digested as it is made, never written.
bool Proven(const UpdateJob& job, const std::string& update, const std::string& old_path) {
  uint32_t crc = kCrc32Initial;
  ContentHash hash;
  uint64_t size = 0;
  int result = kPatchFailed;
  {
    std::unique_ptr<ApplyPatch> apply(new (std::nothrow) ApplyPatch(MakerEngineMessages()));
    if (apply == nullptr) return false;
    apply->SetConsumer([&](const uint8_t* data, size_t length) {
      crc = Crc32Update(crc, data, length);
      hash.Update(data, length);
      size += length;
    });
    result = apply->Process(nullptr, update.c_str(), old_path.c_str(), true);
  }
  const FileDigest rebuilt{size, Crc32Final(crc), hash.Value()};
  return result == kPatchDone && rebuilt == job.new_digest;
}

}  // namespace

std::string UpdatePayloadName(const UpdateJob& job) {
  return job.from + "-" + job.to + "\\" + job.relative + ".upd";
}

std::string UpdateCachePath(const std::string& cache_dir, const FileDigest* old_digest,
                            const FileDigest& new_digest) {
  auto part = [](const FileDigest& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%016llx%08x-%llx", static_cast<unsigned long long>(d.hash),
                  d.crc, static_cast<unsigned long long>(d.size));
    return std::string(text);
  };
  const std::string name =
      (old_digest ? part(*old_digest) : std::string("new")) + "_" + part(new_digest) + ".upd";
  return (fs::path(cache_dir) / "updates" / name).string();
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
  threads.reserve(static_cast<size_t>(jobs));
  for (int t = 0; t < jobs; ++t) {
    threads.emplace_back([&] {
      for (size_t i = next++; i < count; i = next++) fn(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

bool FileCrc32(const std::string& path, uint32_t* crc) {
  FileDigest digest;
  if (!DigestOfFile(path, &digest)) return false;
  *crc = digest.crc;
  return true;
}

namespace {

// A job's share of the progress: the bytes the search has passed through
// while it runs, the rest (and the file) when the job ends, however it ends.
class JobProgress {
 public:
  JobProgress(MakeProgress* progress, uint64_t bytes) : progress_(progress), bytes_(bytes) {}
  ~JobProgress() {
    if (progress_ != nullptr) progress_->Advance(bytes_ - counted_);
  }
  JobProgress(const JobProgress&) = delete;
  JobProgress& operator=(const JobProgress&) = delete;

  void Remaining(int64_t remaining) {
    if (progress_ == nullptr || remaining < 0) return;
    const uint64_t left = static_cast<uint64_t>(remaining);
    const uint64_t done = left >= bytes_ ? 0 : bytes_ - left;
    if (done <= counted_) return;
    progress_->AddBytes(done - counted_);
    counted_ = done;
  }

 private:
  MakeProgress* progress_;
  uint64_t bytes_;
  uint64_t counted_ = 0;
};

// Writes the update from `old_path` to the job's new file into `path`.
bool MakeUpdate(const UpdateJob& job, const std::string& old_path, const std::string& path,
                UpdateWriter writer, JobProgress* share) {
  auto hook = [share](int64_t left) { share->Remaining(left); };
  const char* new_path = job.new_file->path.c_str();
  if (writer == UpdateWriter::kExact) {
    std::unique_ptr<CreatePatch> create(new (std::nothrow) CreatePatch(MakerEngineMessages()));
    if (!create) return false;
    create->SetProgressHook(hook);
    return create->Process(old_path.c_str(), new_path, path.c_str(), true) == kPatchDone;
  }
  {
    std::unique_ptr<CreateCompactPatch> create(new (std::nothrow)
                                                   CreateCompactPatch(MakerEngineMessages()));
    if (!create) return false;
    create->SetProgressHook(hook);
    if (create->Process(old_path.c_str(), new_path, path.c_str(), true) == kPatchDone) return true;
  }
  // The compact writer maps both files whole and indexes the old one; where
  // the memory for that is lacking (a 32-bit build and large files), the
  // exact writer, which reads through windows, still makes the update.
  return MakeUpdate(job, old_path, path, UpdateWriter::kExact, share);
}

}  // namespace

void RunUpdateJob(UpdateJob* job, const std::string& scratch, bool force, MakeProgress* progress,
                  UpdateWriter writer) {
  JobProgress share(progress, job->new_file ? job->new_file->size : 0);
  if (job->kind == UpdateJob::kDeleted) return;  // one byte, made when packing
  if (StopRequested()) {
    job->error = "stopped";
    return;
  }
  std::error_code ec;
  fs::create_directories(fs::path(job->update_path).parent_path(), ec);
  fs::create_directories(fs::path(scratch).parent_path(), ec);
  // A path that never exists stands for the missing old file of a new file,
  // so that the writer makes kind 0.
  const std::string old_path = job->old_file ? job->old_file->path : scratch + ".no-old-file";
  const std::string record = job->update_path + ".sum";

  FileDigest recorded, now;
  if (!force && ReadRecord(record, writer, &recorded) && DigestOfFile(job->update_path, &now) &&
      now == recorded && Proven(*job, job->update_path, old_path)) {
    job->reused = true;
    job->update_size = now.size;
    job->update_digest = now;
    return;
  }
  // Not there, damaged, or not the update of these contents: made again.
  // The record goes first, so that no state between here and the end pairs
  // a record with an update it was not written for.
  fs::remove(record, ec);
  const std::string temp = TemporaryNameOf(job->update_path);
  fs::remove(temp, ec);
  if (!MakeUpdate(*job, old_path, temp, writer, &share)) {
    fs::remove(temp, ec);
    job->error = "cannot make the update of " + job->new_file->path;
    return;
  }
  // Where the search found too little to copy, the update that carries the
  // new file whole is smaller; every patcher applies it alike.
  const uint64_t whole_size = job->new_digest.size + kWholeInsertOverhead;
  if (job->old_file != nullptr && fs::file_size(temp, ec) > whole_size && !ec) {
    fs::remove(temp, ec);
    if (!WriteWholeInsertUpdate(job->new_file->path.c_str(),
                                static_cast<uint32_t>(job->old_digest.size), temp.c_str())) {
      fs::remove(temp, ec);
      job->error = "cannot make the update of " + job->new_file->path;
      return;
    }
  }
  MakeStopPoint();
  FileDigest made;
  if (!Proven(*job, temp, old_path)) {
    fs::remove(temp, ec);
    job->error = "the update made for " + job->new_file->path + " does not rebuild it from " +
                 (job->old_file ? job->old_file->path : std::string("nothing"));
    return;
  }
  if (!DigestOfFile(temp, &made)) {
    fs::remove(temp, ec);
    job->error = "cannot read " + temp;
    return;
  }
  MakeStopPoint();
  if (StopRequested()) {
    fs::remove(temp, ec);
    job->error = "stopped";
    return;
  }
  fs::rename(temp, job->update_path, ec);
  MakeStopPoint();
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    job->error = "cannot rename " + temp + " to " + job->update_path + ": " + ec.message();
    return;
  }
  // Without the record the next make simply makes the update again.
  WriteCacheFile(record, std::string(RecordHeader(writer)) + "\n" + DigestText(made) + "\n");
  job->update_size = made.size;
  job->update_digest = made;
}

bool CarriesNewFileWhole(const UpdateJob& job) {
  return job.kind == UpdateJob::kChanged && job.old_file != nullptr &&
         job.update_size == job.new_digest.size + kWholeInsertOverhead;
}

void RunUpdateJobs(std::vector<UpdateJob>* jobs, int threads, const std::string& scratch_dir,
                   bool force, MakeProgress* progress, UpdateWriter writer) {
  // Equal contents in several places or steps share one cached update.
  std::map<std::string, size_t> first;
  std::vector<size_t> unique;
  uint64_t total = 0;
  for (size_t i = 0; i < jobs->size(); ++i) {
    const UpdateJob& job = (*jobs)[i];
    if (job.kind == UpdateJob::kChanged && !first.emplace(job.update_path, i).second) continue;
    unique.push_back(i);
    total += job.new_file ? job.new_file->size : 0;
  }
  progress->Start("updates", unique.size(), total);
  ParallelFor(unique.size(), threads, [&](size_t k) {
    UpdateJob& job = (*jobs)[unique[k]];
    RunUpdateJob(&job, (fs::path(scratch_dir) / ("proof-" + std::to_string(k))).string(), force,
                 progress, writer);
  });
  progress->Finish();
  for (UpdateJob& job : *jobs) {
    if (job.kind != UpdateJob::kChanged) continue;
    const UpdateJob& done = (*jobs)[first.at(job.update_path)];
    if (&done == &job) continue;
    job.reused = true;  // the same file as the first
    job.error = done.error;
    job.update_size = done.update_size;
    job.update_digest = done.update_digest;
  }
}

}  // namespace corvane::maker
