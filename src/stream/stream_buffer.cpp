#include "stream/stream_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvane {

QIStreamBuffer::QIStreamBuffer(size_t size)
    : data_(size ? new char[size] : nullptr), size_(size), owned_(true) {}

QIStreamBuffer::~QIStreamBuffer() {
  if (owned_) delete[] data_;
}

void QIStreamBuffer::Realloc(size_t size, size_t keep) {
  char* fresh = size ? new char[size] : nullptr;
  size_t kept = std::min({keep, size, size_});
  if (kept) std::memcpy(fresh, data_, kept);
  if (owned_) delete[] data_;
  data_ = fresh;
  size_ = size;
  owned_ = true;
}

QIStreamBufferPage::QIStreamBufferPage(size_t page_size) {
  data_ = page_size ? new (std::nothrow) char[page_size] : nullptr;
  size_ = data_ ? page_size : 0;
  owned_ = true;
}

}  // namespace corvane
