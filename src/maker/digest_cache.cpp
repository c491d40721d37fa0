#include "maker/crc_cache.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace corvane::maker {

CrcCache::CrcCache(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    // "<time> <size> <crc> <file>"
    Entry entry;
    int used = 0;
    long long time = 0;
    unsigned long long size = 0;
    unsigned crc = 0;
    if (std::sscanf(line.c_str(), "%lld %llu %x %n", &time, &size, &crc, &used) != 3 || used <= 0 ||
        static_cast<size_t>(used) >= line.size()) {
      continue;
    }
    entry.time = time;
    entry.size = size;
    entry.crc = crc;
    entries_[line.substr(static_cast<size_t>(used))] = entry;
  }
}

bool CrcCache::Find(const std::string& file, uint64_t size, int64_t time, uint32_t* crc) const {
  auto it = entries_.find(file);
  if (it == entries_.end() || it->second.size != size || it->second.time != time) return false;
  *crc = it->second.crc;
  return true;
}

void CrcCache::Store(const std::string& file, uint64_t size, int64_t time, uint32_t crc) {
  entries_[file] = Entry{size, time, crc};
}

bool CrcCache::Save() const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
  const std::string temp = path_ + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const auto& [file, entry] : entries_) {
      char head[64];
      std::snprintf(head, sizeof head, "%lld %llu %08x ", static_cast<long long>(entry.time),
                    static_cast<unsigned long long>(entry.size), entry.crc);
      out << head << file << '\n';
    }
    out.close();
    if (out.fail()) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, path_, ec);
  return !ec;
}

}  // namespace corvane::maker
