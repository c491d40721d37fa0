#include "foundation/whole_file.h"

#include <algorithm>

#include "platform/file_io.h"

namespace corvane {

namespace {

template <class Bytes>
bool ReadInto(const std::string& path, Bytes* bytes) {
  const platform::FileHandle file = platform::FileOpenRead(path.c_str());
  if (!platform::IsValidFileHandle(file)) return false;
  uint64_t size = 0;
  bool read = platform::FileSize64(file, &size) && size <= bytes->max_size();
  if (read) {
    bytes->resize(static_cast<size_t>(size));
    uint64_t done = 0;
    while (read && done < size) {
      const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(size - done, 1u << 30));
      const int64_t got = platform::FileReadAt(file, done, bytes->data() + done, chunk);
      read = got > 0;
      if (read) done += static_cast<uint64_t>(got);
    }
  }
  platform::FileClose(file);
  return read;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  return ReadInto(path, bytes);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) { return ReadInto(path, bytes); }

}  // namespace corvane
