#include "stream/qi_preprocessed_stream.h"

#include <cstring>

namespace corvane {

QIPreprocessedStream::QIPreprocessedStream(std::unique_ptr<QIStream> source)
    : source_(std::move(source)) {}

PageDescriptor QIPreprocessedStream::ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) {
  PageDescriptor empty;
  empty.start = position;
  if (!source_ || position != next_position_) return empty;
  PageDescriptor page = source_->ReadBuffer(std::move(previous), position);
  const int64_t buffer_size = page.buffer ? static_cast<int64_t>(page.buffer->GetSize()) : 0;
  const int64_t page_end = page.start + std::min<int64_t>(page.length, buffer_size);
  if (position < page.start || position >= page_end) return empty;

  const char* from = page.Data() + (position - page.start);
  const size_t available = static_cast<size_t>(page_end - position);
  const void* line_feed = std::memchr(from, '\n', available);
  const int64_t end =
      line_feed ? position + (static_cast<const char*>(line_feed) - from) + 1 : page_end;

  if (ended_line_) ++line_;
  ended_line_ = line_feed != nullptr;
  next_position_ = end;
  page.length = static_cast<uint32_t>(end - page.start);
  return page;
}

bool QIPreprocessedStream::PreRead(int64_t start, int64_t size) {
  return source_ ? source_->PreRead(start, size) : true;
}

int64_t QIPreprocessedStream::GetDataSize() const { return source_ ? source_->GetDataSize() : 0; }

void QIPreprocessedStream::GetSourceLocation(RString& name, int& line) const {
  name = name_;
  line = line_;
}

void QIPreprocessedStream::SetSourceLocation(const RString& name, int line) {
  name_ = name;
  line_ = line;
}

}  // namespace corvane
