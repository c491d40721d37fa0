#pragma once

#include <cstdint>

#include "foundation/buffer.h"
#include "foundation/r_string.h"
#include "stream/file_server.h"
#include "stream/stream_buffer.h"

namespace corvane {

// The data behind a file stream. Positions and sizes are 64-bit; sizes above
// 4 GiB do not occur.
class IFileBuffer : public RefCount {
 public:
  // True when there is no data source at all.
  virtual bool IsError() const = 0;
  // The whole contents when they are in memory, else null.
  virtual const char* GetData() const = 0;
  virtual int64_t GetSize() const = 0;
  // The page that contains `position`; an empty page (length 0) when there
  // is no data there.
  virtual PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) = 0;
  // Hint that [start, start + size) will be read; answers readiness.
  virtual bool PreRead(int64_t start, int64_t size);
  // Request to have [start, start + size) read ahead.
  virtual void PreloadRange(int64_t start, int64_t size);
  // Copies up to `count` bytes from `position`; answers the number copied.
  virtual int64_t Read(void* destination, int64_t position, int64_t count);
  // Whether reads complete later than they are asked for; no member does.
  virtual bool IsAsync() const { return false; }
  // The file server handle, or 0.
  virtual QFileHandle GetHandle() const { return 0; }
  // Whether the buffer is ready for reading; every member is.
  virtual bool IsReady() const { return true; }
};

// No data source: every read finds an empty page.
class FileBufferError : public IFileBuffer {
 public:
  bool IsError() const override { return true; }
  const char* GetData() const override { return nullptr; }
  int64_t GetSize() const override { return 0; }
  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
};

// Contents held in memory; hands out copies in pages of at most 4,096 bytes.
class FileBufferMemory : public IFileBuffer {
 public:
  static constexpr int kPageSize = 4096;

  // A zero-filled block of `size` bytes, to be filled through GetWritableData.
  explicit FileBufferMemory(int size = 0);
  // A copy of `size` bytes of `data`.
  FileBufferMemory(const void* data, int size);

  bool IsError() const override { return false; }
  const char* GetData() const override { return data_->Data(); }
  char* GetWritableData() { return data_->Data(); }
  int64_t GetSize() const override { return data_->Size(); }
  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;

 protected:
  Ref<Buffer<char>> data_;
};

// A file range read into memory at construction. When fewer bytes than asked
// for could be read, the block is freed (size 0) and "File '%s' read error %x"
// is reported with the system error.
class FileBufferLoaded : public FileBufferMemory {
 public:
  static constexpr int64_t kToEnd = -1;

  // Reads [start, start + size) of the named file (size kToEnd: to its end).
  explicit FileBufferLoaded(const char* name, int64_t start = 0, int64_t size = kToEnd);
};

// A file read page by page through the file server as the stream asks for
// it. Owns the file server handle and closes it when released.
class FileBufferLoading : public IFileBuffer {
 public:
  explicit FileBufferLoading(const char* name);
  ~FileBufferLoading() override;

  // True when the file could not be opened.
  bool IsError() const override;
  // Reports "Cannot return data": the contents are not in memory.
  const char* GetData() const override;
  int64_t GetSize() const override { return size_; }
  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
  bool PreRead(int64_t start, int64_t size) override;
  QFileHandle GetHandle() const override { return handle_; }
  const RString& GetName() const { return name_; }

 private:
  RString name_;
  QFileHandle handle_;
  int64_t size_ = 0;
};

// A window [offset, offset + length) of another file buffer, seen at
// positions 0..length. The window is cut to the inner buffer's size, so it
// never reaches outside it.
class FileBufferSub : public IFileBuffer {
 public:
  FileBufferSub(Ref<IFileBuffer> inner, int64_t offset, int64_t length);

  bool IsError() const override { return inner_->IsError(); }
  const char* GetData() const override;
  int64_t GetSize() const override { return length_; }
  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
  bool PreRead(int64_t start, int64_t size) override;
  QFileHandle GetHandle() const override { return inner_->GetHandle(); }
  const Ref<IFileBuffer>& GetInner() const { return inner_; }
  int64_t GetOffset() const { return offset_; }

 private:
  Ref<IFileBuffer> inner_;
  int64_t offset_;
  int64_t length_;
};

}  // namespace corvane
