#include "maker/file_digest.h"

#include <fstream>
#include <vector>

#include "engine/crc32.h"
#include "maker/content_hash.h"

namespace corvane::maker {

bool DigestOfFile(const std::string& path, FileDigest* digest) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(1 << 20);
  uint32_t crc = kCrc32Initial;
  ContentHash hash;
  uint64_t size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<size_t>(in.gcount());
    crc = Crc32Update(crc, buffer.data(), got);
    hash.Update(buffer.data(), got);
    size += got;
  }
  if (in.bad()) return false;
  digest->size = size;
  digest->crc = Crc32Final(crc);
  digest->hash = hash.Value();
  return true;
}

}  // namespace corvane::maker
