#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "maker/patch_project.h"

namespace corvane::maker {

class MakeProgress;

// One update file of one version step.
struct UpdateJob {
  enum Kind { kChanged, kDeleted };
  Kind kind = kChanged;
  std::string from, to;        // version texts of the step
  std::string relative;        // installed path, backslashes
  const ProjectFile* old_file = nullptr;  // null: a new file (kind-0 update)
  const ProjectFile* new_file = nullptr;  // null for kDeleted
  std::string update_path;     // in the cache (kChanged)

  bool reused = false;         // the cached update was up to date
  std::string error;           // empty when made and checked
  uint64_t update_size = 0;    // bytes of the update file (kChanged)
};

// The payload name of a job: "<from>-<to>\<relative>.upd".
std::string UpdatePayloadName(const UpdateJob& job);

// Runs fn(0) .. fn(count - 1) on `jobs` threads (at least one).
void ParallelFor(size_t count, int jobs, const std::function<void(size_t)>& fn);

// Whether a cached update is up to date by CreatePatch's rule: it exists and
// is not older than the new file, nor than the old file when there is one.
bool UpdateIsCurrent(const std::string& update, const std::string& new_file, const std::string& old_file);

// Makes (or reuses) and checks one update: the update is applied to the old
// file and the result must equal the new file byte for byte. Sets
// job->error on any failure. The update stays in its file.
void RunUpdateJob(UpdateJob* job);

// Runs every job on `jobs` threads with progress.
void RunUpdateJobs(std::vector<UpdateJob>* jobs, int threads, MakeProgress* progress);

// True when the two files hold the same bytes.
bool SameContent(const std::string& a, const std::string& b);

// CRC-32/BZIP2 of a whole file; false when it cannot be read.
bool FileCrc32(const std::string& path, uint32_t* crc);

}  // namespace corvane::maker
