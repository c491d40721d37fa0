#include "stream/qi_str_stream.h"

#include <algorithm>

#include "stream/qo_stream.h"

namespace corvane {

void QIStrStream::init(const void* data, size_t length) {
  if (data == nullptr) length = 0;
  // A page length is 32-bit; blocks beyond 4 GiB do not occur.
  length = std::min<size_t>(length, 0xFFFFFFFFu);
  buffer_ = new QIStreamBufferTemp(data, length);
  length_ = static_cast<uint32_t>(length);
  ResetPage();
  SetFlags(false, false);
}

void QIStrStream::init(const QOStrStream& output) {
  buffer_ = output.GetBuffer();
  int64_t length = std::clamp<int64_t>(output.GetLength(), 0,
                                       buffer_ ? static_cast<int64_t>(buffer_->GetSize()) : 0);
  length_ = static_cast<uint32_t>(length);
  ResetPage();
  SetFlags(false, false);
}

PageDescriptor QIStrStream::ReadBuffer(Ref<QIStreamBuffer>, int64_t) {
  PageDescriptor page;
  page.buffer = buffer_;
  page.start = 0;
  page.length = length_;
  return page;
}

bool QIStrStream::PreRead(int64_t, int64_t) { return true; }

}  // namespace corvane
