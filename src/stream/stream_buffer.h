#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/ref_count.h"

namespace corvane {

// Shared page of stream data. Pages travel between data sources and input
// streams by reference, never by copy; the last holder frees them.
class QIStreamBuffer : public RefCount {
 public:
  QIStreamBuffer() = default;
  // An owned block of `size` bytes (throws std::bad_alloc when out of memory).
  explicit QIStreamBuffer(size_t size);
  ~QIStreamBuffer() override;

  QIStreamBuffer(const QIStreamBuffer&) = delete;
  QIStreamBuffer& operator=(const QIStreamBuffer&) = delete;

  const char* GetData() const { return data_; }
  char* GetWritableData() { return data_; }
  size_t GetSize() const { return size_; }

  // Replaces the block by an owned one of `size` bytes that starts with the
  // first min(keep, size, old size) bytes of the old one. Only for a buffer
  // nobody else holds: a reading stream keeps a pointer to its page's bytes.
  void Realloc(size_t size, size_t keep);

  double GetMemoryUsed() const override { return static_cast<double>(size_); }

 protected:
  QIStreamBuffer(char* data, size_t size, bool owned) : data_(data), size_(size), owned_(owned) {}

  char* data_ = nullptr;
  size_t size_ = 0;
  bool owned_ = false;
};

// Refers to memory owned by someone else, who must keep it alive (and
// unchanged) as long as any stream or page refers to this buffer.
class QIStreamBufferTemp : public QIStreamBuffer {
 public:
  QIStreamBufferTemp(const void* data, size_t size)
      : QIStreamBuffer(static_cast<char*>(const_cast<void*>(data)), size, false) {}
};

// One file page of `page_size` bytes, allocated on its own. When that
// allocation fails the page has size 0 instead of throwing, so a reader sees
// no data rather than the process ending.
class QIStreamBufferPage : public QIStreamBuffer {
 public:
  explicit QIStreamBufferPage(size_t page_size);
};

// What a data source hands to an input stream: a page, the stream position of
// its first byte and the number of valid bytes. Length 0 means there is no
// data at the requested position. REQUIRES: length <= buffer->GetSize().
struct PageDescriptor {
  Ref<QIStreamBuffer> buffer;
  int64_t start = 0;
  uint32_t length = 0;

  const char* Data() const { return buffer ? buffer->GetData() : nullptr; }
};

}  // namespace corvane
