#pragma once

#include <cstddef>
#include <cstdint>

#include "stream/ls_error.h"
#include "stream/stream_buffer.h"

namespace corvane {

// Buffered output stream: bytes collect in a growable buffer (65,536 bytes
// at first) that a subclass either keeps (QOStrStream) or flushes to a file
// (QOFStream). Positions are stream positions: the buffer holds the bytes
// from buffer offset on.
class QOStream {
 public:
  static constexpr size_t kInitialBufferSize = 65536;

  QOStream();
  virtual ~QOStream() = default;

  QOStream(const QOStream&) = delete;
  QOStream& operator=(const QOStream&) = delete;

  virtual void close() {}
  virtual bool fail() const { return false; }
  // Makes room for `size` bytes of buffer (QOStrStream grows, QOFStream
  // writes the buffer out and empties it).
  virtual void Flush(size_t size) = 0;
  virtual void SeekP(int64_t position) = 0;

  // Appends `count` bytes at the write position; answers the end position of
  // the write (buffer offset + write position).
  int64_t write(const void* data, int64_t count);
  void put(char c) { write(&c, 1); }
  int64_t tellp() const { return buffer_offset_ + static_cast<int64_t>(write_pos_); }
  // Largest end position written so far.
  int64_t GetTotalSize() const { return total_size_; }
  LSError error() const { return error_; }

 protected:
  Ref<QIStreamBuffer> buffer_;
  size_t write_pos_ = 0;       // inside the buffer
  size_t valid_ = 0;           // valid bytes in the buffer
  int64_t buffer_offset_ = 0;  // stream position of the buffer's first byte
  int64_t total_size_ = 0;
  bool fail_ = false;
  LSError error_ = LSOK;
};

// Output kept in memory. The buffer can be shared with a QIStrStream, which
// then reads the bytes in place.
class QOStrStream : public QOStream {
 public:
  QOStrStream() = default;

  void Flush(size_t size) override;
  void SeekP(int64_t position) override;

  // The bytes written (GetLength of them are valid; null before any write).
  const char* str() const { return buffer_ ? buffer_->GetData() : nullptr; }
  int64_t GetLength() const { return total_size_; }
  // The shared buffer itself.
  const Ref<QIStreamBuffer>& GetBuffer() const { return buffer_; }
  // Forgets everything written and starts over with a fresh buffer.
  void Reset();
};

}  // namespace corvane
