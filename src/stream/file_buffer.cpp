#include "stream/file_buffer.h"

#include <algorithm>
#include <cstring>

#include "foundation/app_frame.h"

namespace corvane {

namespace {

// Part of another page, kept alive by holding that page: lets a window hand
// out the bytes of an inner page that starts before the window without
// copying them.
class QIStreamBufferSlice : public QIStreamBuffer {
 public:
  QIStreamBufferSlice(Ref<QIStreamBuffer> whole, size_t skip)
      : QIStreamBuffer(whole->GetWritableData() + skip, whole->GetSize() - skip, false),
        whole_(std::move(whole)) {}

 private:
  Ref<QIStreamBuffer> whole_;
};

PageDescriptor EmptyPage(int64_t start) {
  PageDescriptor page;
  page.start = start;
  return page;
}

}  // namespace

bool IFileBuffer::PreRead(int64_t, int64_t) { return true; }

void IFileBuffer::PreloadRange(int64_t, int64_t) {}

int64_t IFileBuffer::Read(void* destination, int64_t position, int64_t count) {
  char* out = static_cast<char*>(destination);
  int64_t copied = 0;
  Ref<QIStreamBuffer> previous;
  while (copied < count) {
    const int64_t at = position + copied;
    PageDescriptor page = ReadBuffer(std::move(previous), at);
    const int64_t available = std::min<int64_t>(
        page.length, page.buffer ? static_cast<int64_t>(page.buffer->GetSize()) : 0);
    if (at < page.start || at - page.start >= available) break;
    const int64_t skip = at - page.start;
    const int64_t chunk = std::min(available - skip, count - copied);
    std::memcpy(out + copied, page.Data() + skip, static_cast<size_t>(chunk));
    copied += chunk;
    previous = std::move(page.buffer);
  }
  return copied;
}

PageDescriptor FileBufferError::ReadBuffer(Ref<QIStreamBuffer>, int64_t position) {
  return EmptyPage(position);
}

FileBufferMemory::FileBufferMemory(int size) : data_(new Buffer<char>(size)) {}

FileBufferMemory::FileBufferMemory(const void* data, int size) : FileBufferMemory(size) {
  if (data && data_->Size() > 0) std::memcpy(data_->Data(), data, static_cast<size_t>(size));
}

PageDescriptor FileBufferMemory::ReadBuffer(Ref<QIStreamBuffer>, int64_t position) {
  const int64_t size = data_->Size();
  if (position < 0 || position >= size) return EmptyPage(position);
  const int64_t count = std::min<int64_t>(size - position, kPageSize);
  PageDescriptor page;
  page.buffer = new QIStreamBuffer(static_cast<size_t>(count));
  std::memcpy(page.buffer->GetWritableData(), data_->Data() + position, static_cast<size_t>(count));
  page.start = position;
  page.length = static_cast<uint32_t>(count);
  return page;
}

FileBufferLoaded::FileBufferLoaded(const char* name, int64_t start, int64_t size) {
  QIFileServerFunctions* server = GetFileServer();
  QFileHandle handle = server->OpenReadHandle(name);
  if (!server->CheckHandle(handle)) {
    ReportDataWarning("File '%s' read error %x", name ? name : "",
                      static_cast<unsigned int>(platform::FileLastError()));
    return;
  }
  const int64_t file_size = server->GetFileSize(handle);
  if (start < 0) start = 0;
  if (size == kToEnd) size = std::max<int64_t>(file_size - start, 0);
  // The block is an int-sized Buffer; a larger request cannot be held.
  bool complete = size >= 0 && size <= 0x7FFFFFFF;
  if (complete && size > 0) {
    data_->Init(static_cast<int>(size));
    int64_t got = platform::FileReadAt(server->GetWin32Handle(handle), static_cast<uint64_t>(start),
                                       data_->Data(), static_cast<uint32_t>(size));
    complete = got == size;
  }
  if (!complete) {
    int error = platform::FileLastError();
    data_->Free();
    ReportDataWarning("File '%s' read error %x", name ? name : "",
                      static_cast<unsigned int>(error));
  }
  server->CloseReadHandle(name, handle);
}

FileBufferLoading::FileBufferLoading(const char* name) : name_(name) {
  QIFileServerFunctions* server = GetFileServer();
  handle_ = server->OpenReadHandle(name);
  if (server->CheckHandle(handle_)) size_ = server->GetFileSize(handle_);
}

FileBufferLoading::~FileBufferLoading() {
  QIFileServerFunctions* server = GetFileServer();
  if (server->CheckHandle(handle_)) server->CloseReadHandle(name_.Data(), handle_);
}

bool FileBufferLoading::IsError() const { return !GetFileServer()->CheckHandle(handle_); }

const char* FileBufferLoading::GetData() const {
  CORVANE_REPORT_INTERNAL("Cannot return data");
  return nullptr;
}

PageDescriptor FileBufferLoading::ReadBuffer(Ref<QIStreamBuffer>, int64_t position) {
  QIFileServerFunctions* server = GetFileServer();
  const int64_t page_size = server->GetPageSize();
  if (position < 0 || page_size <= 0) return EmptyPage(position);
  int64_t start = std::min(size_, position);
  start -= start % page_size;
  // At or past the end there is nothing to fetch: probing the end must not
  // read the last page a second time.
  if (start >= size_ || position >= size_ || !server->CheckHandle(handle_)) {
    return EmptyPage(start);
  }
  const int64_t count = std::min(size_ - start, page_size);
  return server->ReadPage(handle_, start, static_cast<uint32_t>(count));
}

bool FileBufferLoading::PreRead(int64_t start, int64_t size) {
  return GetFileServer()->RequestRead(nullptr, nullptr, handle_, start, size);
}

FileBufferSub::FileBufferSub(Ref<IFileBuffer> inner, int64_t offset, int64_t length)
    : inner_(std::move(inner)) {
  const int64_t size = inner_ ? inner_->GetSize() : 0;
  if (!inner_) inner_ = new FileBufferError;
  offset_ = std::clamp<int64_t>(offset, 0, size);
  length_ = std::clamp<int64_t>(length, 0, size - offset_);
}

const char* FileBufferSub::GetData() const {
  const char* data = inner_->GetData();
  return data ? data + offset_ : nullptr;
}

PageDescriptor FileBufferSub::ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) {
  if (position < 0) return EmptyPage(position);
  const int64_t inner_position = offset_ + std::min(length_, position);
  PageDescriptor page = inner_->ReadBuffer(std::move(previous), inner_position);
  const int64_t buffer_size = page.buffer ? static_cast<int64_t>(page.buffer->GetSize()) : 0;
  const int64_t page_start = page.start;
  const int64_t page_end = page.start + std::min<int64_t>(page.length, buffer_size);
  const int64_t window_end = offset_ + length_;
  const int64_t first = std::max(page_start, offset_);
  const int64_t last = std::min(page_end, window_end);
  if (last <= first || inner_position < first || inner_position >= last) {
    return EmptyPage(std::min(length_, position));
  }
  PageDescriptor result;
  result.start = first - offset_;
  result.length = static_cast<uint32_t>(last - first);
  if (first == page_start) {
    result.buffer = std::move(page.buffer);
  } else {
    result.buffer =
        new QIStreamBufferSlice(std::move(page.buffer), static_cast<size_t>(first - page_start));
  }
  return result;
}

bool FileBufferSub::PreRead(int64_t start, int64_t size) {
  if (start < 0) start = 0;
  start = std::min(start, length_);
  size = std::clamp<int64_t>(size, 0, length_ - start);
  return inner_->PreRead(offset_ + start, size);
}

}  // namespace corvane
