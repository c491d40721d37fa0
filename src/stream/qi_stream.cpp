#include "stream/qi_stream.h"

#include <algorithm>
#include <cstring>

#include "stream/qo_stream.h"

namespace corvane {

void QIStream::PreReadSequential(int64_t) {}

void QIStream::GetSourceLocation(RString& name, int& line) const {
  name = RString();
  line = 1;
}

void QIStream::SetSourceLocation(const RString&, int) {}

void QIStream::SetPage(PageDescriptor page) {
  page_ = std::move(page);
  page_data_ = page_.buffer ? page_.buffer->GetData() : nullptr;
}

void QIStream::ResetPage() {
  SetPage(PageDescriptor());
  read_pos_ = 0;
}

bool QIStream::Refill() {
  const int64_t position = page_.start + read_pos_;
  PageDescriptor page = ReadBuffer(std::move(page_.buffer), position);
  // Distrust the source: a page must reach the position and fit its buffer.
  const int64_t buffer_size = page.buffer ? static_cast<int64_t>(page.buffer->GetSize()) : 0;
  if (page.length > buffer_size) page.length = static_cast<uint32_t>(buffer_size);
  if (position < page.start || position - page.start > page.length) {
    page = PageDescriptor();
    page.start = position;
  }
  read_pos_ = static_cast<uint32_t>(position - page.start);
  SetPage(std::move(page));
  if (!PageHasData()) {
    eof_ = true;
    return false;
  }
  return true;
}

int QIStream::GetFromNextPage() {
  if (!Refill()) return -1;
  return static_cast<unsigned char>(PageData()[read_pos_++]);
}

void QIStream::unget() {
  if (read_pos_ > 0) {
    --read_pos_;
  } else if (tellg() > 0) {
    seekg(tellg() - 1);
  }
}

int64_t QIStream::read(void* destination, int64_t count) {
  char* out = static_cast<char*>(destination);
  int64_t copied = 0;
  while (copied < count) {
    if (!PageHasData() && !Refill()) {
      if (copied > 0) fail_ = true;
      return copied;
    }
    int64_t chunk = std::min<int64_t>(page_.length - read_pos_, count - copied);
    std::memcpy(out + copied, PageData() + read_pos_, static_cast<size_t>(chunk));
    read_pos_ += static_cast<uint32_t>(chunk);
    copied += chunk;
  }
  return copied;
}

bool QIStream::skipLine() {
  for (;;) {
    int c = get();
    if (c < 0) return false;
    if (c == '\n') return true;
    if (c == '\r') {
      int next = get();
      if (next >= 0 && next != '\n') unget();
      return true;
    }
  }
}

bool QIStream::readLine(char* destination, int capacity) {
  if (destination == nullptr || capacity <= 0) return skipLine();
  int stored = 0;
  for (;;) {
    int c = get();
    if (c < 0) {
      destination[stored] = '\0';
      return false;
    }
    if (c == '\n') break;
    if (c == '\r') {
      int next = get();
      if (next >= 0 && next != '\n') unget();
      break;
    }
    if (stored >= capacity - 1) {
      // The byte just read is dropped; the rest of the line goes with it.
      destination[stored] = '\0';
      return skipLine();
    }
    destination[stored++] = static_cast<char>(c);
  }
  destination[stored] = '\0';
  return true;
}

void QIStream::seekg(int64_t position) {
  position = std::clamp<int64_t>(position, 0, std::max<int64_t>(GetDataSize(), 0));
  if (position >= page_.start && position <= page_.start + page_.length) {
    read_pos_ = static_cast<uint32_t>(position - page_.start);
    return;
  }
  PageDescriptor empty;
  empty.start = position;
  SetPage(std::move(empty));
  read_pos_ = 0;
  fail_ = false;
  eof_ = false;
}

void QIStream::copy(QOStream& output) {
  char buffer[4096];
  for (;;) {
    int64_t got = read(buffer, sizeof(buffer));
    if (got > 0) output.write(buffer, got);
    // A short read means the data ended (or failed); both flags are set then.
    if (got < static_cast<int64_t>(sizeof(buffer))) break;
  }
}

}  // namespace corvane
