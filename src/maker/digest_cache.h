#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace corvane::maker {

// The CRC-32 of every project file from the last make, kept in
// PROJECT/.cache/crc.txt, so that a make over unchanged trees need not read
// them again. An entry counts only while the file's size and modification
// time are what they were when its CRC was taken.
class CrcCache {
 public:
  // Reads the cache file; a missing or damaged one is an empty cache.
  explicit CrcCache(std::string path);

  bool Find(const std::string& file, uint64_t size, int64_t time, uint32_t* crc) const;
  void Store(const std::string& file, uint64_t size, int64_t time, uint32_t crc);
  // Writes the cache (temporary file, then rename). False when it cannot.
  bool Save() const;

 private:
  struct Entry {
    uint64_t size = 0;
    int64_t time = 0;
    uint32_t crc = 0;
  };
  std::string path_;
  std::map<std::string, Entry> entries_;
};

}  // namespace corvane::maker
