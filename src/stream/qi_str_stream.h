#pragma once

#include <cstddef>

#include "stream/qi_stream.h"

namespace corvane {

class QOStrStream;

// Input stream over a memory block, read in place as one page.
class QIStrStream : public QIStream {
 public:
  QIStrStream() = default;
  // Wraps caller memory without copying. REQUIRES: the memory outlives the
  // stream and its pages.
  QIStrStream(const void* data, size_t length) { init(data, length); }

  void init(const void* data, size_t length);
  // Shares the output stream's buffer (no copy) and reads its valid bytes.
  // Bytes written to `output` later are not seen.
  void init(const QOStrStream& output);

  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
  bool PreRead(int64_t start, int64_t size) override;
  int64_t GetDataSize() const override { return length_; }

 private:
  Ref<QIStreamBuffer> buffer_;
  uint32_t length_ = 0;
};

}  // namespace corvane
