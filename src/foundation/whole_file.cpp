#include "foundation/whole_file.h"

#include <fstream>

namespace corvane {

namespace {

template <class Bytes>
bool ReadInto(const std::string& path, Bytes* bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  bytes->resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes->data()), size);
  return in.gcount() == size;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) { return ReadInto(path, bytes); }

bool ReadWholeFile(const std::string& path, std::string* bytes) { return ReadInto(path, bytes); }

}  // namespace corvane
