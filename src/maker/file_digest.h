#pragma once

#include <cstdint>
#include <string>

namespace corvane::maker {

// What a make knows of a file's content: its size, its CRC-32 (as checksum
// lists hold it) and a 64-bit content hash. Two files with equal digests are
// taken to hold the same bytes: a chance pair of different files would have
// to agree in size and in 96 bits of hash.
struct FileDigest {
  uint64_t size = 0;
  uint32_t crc = 0;
  uint64_t hash = 0;

  bool operator==(const FileDigest&) const = default;
};

// Reads the file once for both sums. False when it cannot be read.
bool DigestOfFile(const std::string& path, FileDigest* digest);

}  // namespace corvane::maker
