#include "maker/digest_cache.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "maker/cache_file.h"

namespace corvane::maker {

namespace {

// The first line; a file without it (or of another layout) is not read.
constexpr char kHeader[] = "patchbuild file digests 2";

// How recent a modification time must not be for its digest to be kept.
constexpr auto kSettled = std::chrono::seconds(3);

}  // namespace

DigestCache::DigestCache(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return;
  while (std::getline(in, line)) {
    // "<time> <size> <crc> <hash> <file>"
    int used = 0;
    long long time = 0;
    unsigned long long size = 0, hash = 0;
    unsigned crc = 0;
    if (std::sscanf(line.c_str(), "%lld %llu %x %llx %n", &time, &size, &crc, &hash, &used) != 4 ||
        used <= 0 || static_cast<size_t>(used) >= line.size()) {
      continue;
    }
    entries_[line.substr(static_cast<size_t>(used))] = Entry{time, FileDigest{size, crc, hash}};
  }
}

bool DigestCache::Find(const std::string& file, uint64_t size, int64_t time,
                       FileDigest* digest) const {
  auto it = entries_.find(file);
  if (it == entries_.end() || it->second.digest.size != size || it->second.time != time)
    return false;
  *digest = it->second.digest;
  return true;
}

bool DigestCache::TimeOf(const std::string& file, int64_t* time) {
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(file, ec);
  if (ec) return false;
  const auto system = std::chrono::file_clock::to_sys(stamp);
  *time = static_cast<int64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(system.time_since_epoch()).count());
  return true;
}

void DigestCache::Store(const std::string& file, int64_t time, const FileDigest& digest) {
  const auto settled = std::chrono::system_clock::now() - kSettled;
  if (time >
      std::chrono::duration_cast<std::chrono::nanoseconds>(settled.time_since_epoch()).count()) {
    entries_.erase(file);
    return;
  }
  entries_[file] = Entry{time, digest};
}

bool DigestCache::Save() const {
  std::string text = std::string(kHeader) + '\n';
  for (const auto& [file, entry] : entries_) {
    char head[96];
    std::snprintf(head, sizeof head, "%lld %llu %08x %016llx ", static_cast<long long>(entry.time),
                  static_cast<unsigned long long>(entry.digest.size), entry.digest.crc,
                  static_cast<unsigned long long>(entry.digest.hash));
    text += head + file + '\n';
  }
  return WriteCacheFile(path_, text);
}

}  // namespace corvane::maker
