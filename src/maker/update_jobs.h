#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "maker/file_digest.h"
#include "maker/patch_project.h"

namespace corvane::maker {

class MakeProgress;

// One update file of one version step.
struct UpdateJob {
  enum Kind { kChanged, kDeleted };
  Kind kind = kChanged;
  std::string from, to;                   // version texts of the step
  std::string relative;                   // installed path, backslashes, code page 1252
  const ProjectFile* old_file = nullptr;  // null: a new file (kind-0 update)
  const ProjectFile* new_file = nullptr;  // null for kDeleted
  FileDigest old_digest, new_digest;      // of the files as this make read them
  std::string update_path;                // in the cache (kChanged): UpdateCachePath

  bool reused = false;       // the cached update was taken (and proven)
  std::string error;         // empty when made (or reused) and proven
  uint64_t update_size = 0;  // bytes of the update file (kChanged)
  FileDigest update_digest;  // of the update file (kChanged)
};

// Whether the job's update carries its new file whole (the search found too
// little to copy to be worth it).
bool CarriesNewFileWhole(const UpdateJob& job);

// The payload name of a job: "<from>-<to>\<relative>.upd".
std::string UpdatePayloadName(const UpdateJob& job);

// Where the update from `old_digest` (null: no old file) to `new_digest`
// is kept in the cache folder. The name is made of the two digests, so an
// update is found again only for the same two contents, whatever the files'
// names, dates or steps; beside it "<name>.sum" records the update's own
// digest as it was written.
std::string UpdateCachePath(const std::string& cache_dir, const FileDigest* old_digest,
                            const FileDigest& new_digest);

// Which writer makes the updates. The cache record of an update names its
// writer, so an update made by the other one is made again, never reused.
enum class UpdateWriter {
  kCompact,  // CreateCompactPatch: copies from anywhere in the old file
  kExact,    // CreatePatch: the layout every earlier make wrote
};

// Runs fn(0) .. fn(count - 1) on `jobs` threads (at least one).
void ParallelFor(size_t count, int jobs, const std::function<void(size_t)>& fn);

// Makes (or reuses) and proves one update. A cached update is taken only
// when its recorded digest is that of its bytes now (and `force` is false);
// whether taken or made, the update is applied to the old file and the
// digest of the result must be job->new_digest. A cached update that fails
// is made again; a made one that fails sets job->error. A made update goes to
// a temporary name and is renamed into the cache only when proven, then its
// digest record is written (the same way). The proof digests the rebuilt
// file as it is made and writes nothing. `scratch` is a path of the make's
// own that never exists: the old file of a file new in the step. The job's
// bytes go on `progress` (when not null) as the search moves through the new
// file, and the job counts as one file done when it returns. `writer`
// makes the update; a cached one is taken only when the same writer made it.
void RunUpdateJob(UpdateJob* job, const std::string& scratch, bool force,
                  MakeProgress* progress = nullptr, UpdateWriter writer = UpdateWriter::kCompact);

// Runs every job on `threads` threads with progress; jobs with the same
// update path are done once. Scratch paths lie in `scratch_dir`.
void RunUpdateJobs(std::vector<UpdateJob>* jobs, int threads, const std::string& scratch_dir,
                   bool force, MakeProgress* progress,
                   UpdateWriter writer = UpdateWriter::kCompact);

// CRC-32/BZIP2 of a whole file; false when it cannot be read.
bool FileCrc32(const std::string& path, uint32_t* crc);

}  // namespace corvane::maker
