#include "stream/qo_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace corvane {

QOStream::QOStream() : buffer_(new QIStreamBuffer(kInitialBufferSize)) {}

int64_t QOStream::write(const void* data, int64_t count) {
  const char* in = static_cast<const char*>(data);
  int64_t remaining = count > 0 ? count : 0;
  while (remaining > 0) {
    if (static_cast<uint64_t>(write_pos_) + static_cast<uint64_t>(remaining) > buffer_->GetSize()) {
      uint64_t wanted = static_cast<uint64_t>(write_pos_) + static_cast<uint64_t>(remaining);
      uint64_t size = std::max<uint64_t>(buffer_->GetSize(), 1);
      while (size < wanted && size <= UINT64_MAX / 2) size *= 2;
      // On a 32-bit build an impossible size must fail to allocate, not wrap.
      Flush(static_cast<size_t>(std::min<uint64_t>(size, SIZE_MAX)));
    }
    size_t room = buffer_->GetSize() > write_pos_ ? buffer_->GetSize() - write_pos_ : 0;
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(room, static_cast<uint64_t>(remaining)));
    if (chunk == 0) break;  // a subclass that cannot make room drops the rest
    std::memcpy(buffer_->GetWritableData() + write_pos_, in, chunk);
    in += chunk;
    remaining -= static_cast<int64_t>(chunk);
    write_pos_ += chunk;
    valid_ = std::max(valid_, write_pos_);
  }
  total_size_ = std::max(total_size_, tellp());
  return tellp();
}

void QOStrStream::Flush(size_t size) {
  if (size <= buffer_->GetSize()) return;
  if (buffer_->RefCounter() > 1) {
    // An input stream reads this block in place (QIStrStream::init): it keeps
    // the block as it is, and the writing goes on in a larger copy.
    Ref<QIStreamBuffer> larger = new QIStreamBuffer(size);
    if (valid_ > 0) std::memcpy(larger->GetWritableData(), buffer_->GetData(), valid_);
    buffer_ = larger;
    return;
  }
  buffer_->Realloc(size, valid_);
}

void QOStrStream::SeekP(int64_t position) {
  position = std::clamp<int64_t>(position, 0, static_cast<int64_t>(SIZE_MAX / 2));
  // Moving beyond the data makes room at once and zero-fills the gap, so a
  // later write never leaves uninitialised bytes between old and new data.
  size_t target = static_cast<size_t>(position);
  if (target > valid_) {
    if (target > buffer_->GetSize()) {
      size_t size = std::max<size_t>(buffer_->GetSize(), 1);
      while (size < target && size <= SIZE_MAX / 2) size *= 2;
      Flush(size);
    }
    std::memset(buffer_->GetWritableData() + valid_, 0, target - valid_);
    valid_ = target;
  }
  write_pos_ = target;
}

void QOStrStream::Reset() {
  buffer_ = new QIStreamBuffer(kInitialBufferSize);
  write_pos_ = valid_ = 0;
  buffer_offset_ = total_size_ = 0;
}

}  // namespace corvane
