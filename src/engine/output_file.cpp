#include "engine/output_file.h"

#include <cstring>

#include "engine/update_format.h"
#include "engine/work_file.h"

namespace corvane {

bool OutputFile::Create(const char* path) {
  Close();
  failed_ = false;
  used_ = 0;
  file_ = CreateWorkFile(path, &create_fault_);
  return IsOpen();
}

void OutputFile::Flush() {
  if (used_ == 0) return;
  if (!IsOpen() || platform::FileWrite(file_, buffer_, static_cast<uint32_t>(used_)) != used_) {
    failed_ = true;
  }
  used_ = 0;
}

void OutputFile::Write(const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (used_ + size <= kBufferSize) {
    std::memcpy(buffer_ + used_, bytes, size);
    used_ += size;
    return;
  }
  Flush();
  // Large blocks go straight to the file; the buffer would only copy them.
  while (size >= kBufferSize) {
    uint32_t chunk = size > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(size);
    if (!IsOpen() || platform::FileWrite(file_, bytes, chunk) != chunk) failed_ = true;
    bytes += chunk;
    size -= chunk;
  }
  std::memcpy(buffer_, bytes, size);
  used_ = size;
}

void OutputFile::WriteField(int32_t value) {
  uint8_t field[update_format::kFieldSize];
  update_format::StoreField(field, value);
  Write(field, sizeof(field));
}

bool OutputFile::Close() {
  if (!IsOpen()) return !failed_;
  Flush();
  if (durable_ && !failed_ && !platform::FileSync(file_)) failed_ = true;
  if (!platform::FileClose(file_)) failed_ = true;
  file_ = platform::kInvalidFileHandle;
  return !failed_;
}

}  // namespace corvane
