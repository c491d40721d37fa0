#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "maker/file_digest.h"

namespace corvane::maker {

// The digest of every project file from the last make, kept in
// PROJECT/.cache/digests.txt, so that a make over unchanged trees need not
// read them again. An entry counts only while the file's size and
// modification time (to the file system's finest unit) are what they were
// when its digest was taken; a time that is no older than a few seconds when
// the digest is taken is not kept, as the file may still be written to within
// the same tick of its clock.
class DigestCache {
 public:
  // Reads the cache file; a missing, foreign or damaged one is an empty cache.
  explicit DigestCache(std::string path);

  // The modification time entries are keyed by; false when there is none.
  static bool TimeOf(const std::string& file, int64_t* time);

  bool Find(const std::string& file, uint64_t size, int64_t time, FileDigest* digest) const;
  void Store(const std::string& file, int64_t time, const FileDigest& digest);
  // Writes the cache (temporary file, then rename). False when it cannot.
  bool Save() const;

 private:
  struct Entry {
    int64_t time = 0;
    FileDigest digest;
  };
  std::string path_;
  std::map<std::string, Entry> entries_;
};

}  // namespace corvane::maker
