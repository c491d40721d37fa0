#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_io.h"

namespace corvane {

// A file created for binary writing through a fully buffered 16,384-byte
// buffer. Write failures are remembered (Failed()) rather than ignored, so that
// a full disk never passes for a written file.
class OutputFile {
 public:
  static constexpr size_t kBufferSize = 16384;

  OutputFile() = default;
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates `path` as a work file (work_file.h: whatever was at the name is
  // removed first, the new file is made exclusively, never through a link);
  // false when it cannot be created, CreateFault() telling why.
  bool Create(const char* path);
  platform::FileFault CreateFault() const { return create_fault_; }
  bool IsOpen() const { return platform::IsValidFileHandle(file_); }

  void Write(const void* data, size_t size);
  void WriteByte(uint8_t value) {
    if (used_ == kBufferSize) Flush();
    buffer_[used_++] = value;
  }
  void WriteField(int32_t value);

  // Flushes and closes; false when anything written since Create was lost.
  // A durable file is also made to reach the disk first (platform::FileSync),
  // so that a rename after Close cannot expose an empty or partial file
  // after a power loss.
  bool Close();
  void SetDurable(bool durable) { durable_ = durable; }
  bool Failed() const { return failed_; }

 private:
  void Flush();

  platform::FileHandle file_ = platform::kInvalidFileHandle;
  size_t used_ = 0;
  bool failed_ = false;
  bool durable_ = false;
  platform::FileFault create_fault_ = platform::FileFault::kNone;
  uint8_t buffer_[kBufferSize];
};

}  // namespace corvane
