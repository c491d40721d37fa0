#pragma once

#include <cstdint>

#include "foundation/r_string.h"
#include "platform/file_io.h"
#include "stream/stream_buffer.h"

namespace corvane {

// Handle of a file opened through the file server; 0 and all bits set are
// never valid.
using QFileHandle = platform::FileHandle;

// The replaceable process-wide file server: every file the streams read or
// write is opened through the current instance. The default works on the
// platform's files; tests and tools may install their own (for instance to
// count page reads), deriving from the default and forwarding.
class QIFileServerFunctions {
 public:
  using ReadCallback = void (*)(void* context);

  constexpr QIFileServerFunctions() = default;
  virtual ~QIFileServerFunctions() = default;

  QIFileServerFunctions(const QIFileServerFunctions&) = delete;
  QIFileServerFunctions& operator=(const QIFileServerFunctions&) = delete;

  // 0: called before a file is opened for writing; answers true.
  virtual bool BeforeOpen(const char* name);
  // 1: asks for a range to be read ahead; the default reads synchronously, so
  // it calls `callback` (when given) as completed and answers true.
  virtual bool RequestRead(ReadCallback callback, void* context, QFileHandle handle, int64_t start,
                           int64_t size);
  // 2: reads up to `size` bytes from `start` into a new page of the page size;
  // the descriptor's length is the number of bytes actually read (0 when the
  // page could not be allocated or the read failed).
  virtual PageDescriptor ReadPage(QFileHandle handle, int64_t start, uint32_t size);
  // 3-5: open for reading (shared), writing (truncate) or appending.
  virtual QFileHandle OpenReadHandle(const char* name);
  virtual QFileHandle OpenWriteHandle(const char* name);
  virtual QFileHandle OpenAppendHandle(const char* name);
  // 6: hook with one argument; nothing by default.
  virtual void HandleHook(QFileHandle handle);
  // 7: "Handle %x" with the handle value.
  virtual RString GetHandleName(QFileHandle handle);
  // 8: closes a handle from OpenReadHandle.
  virtual void CloseReadHandle(const char* name, QFileHandle handle);
  // 9: true when the handle is neither 0 nor all bits set.
  virtual bool CheckHandle(QFileHandle handle);
  // 10: file page size, 8,192.
  virtual uint32_t GetPageSize();
  // 11: copies a file through the streams; nothing when the names are equal
  // ignoring case. Answers false when the copy failed. A source that cannot
  // be opened leaves the destination untouched.
  virtual bool CopyFile(const char* source, const char* destination);
  // 12: last-write time in seconds since 1970-01-01 00:00 UTC.
  virtual int64_t GetFileTime(QFileHandle handle);
  // 13: size of the file (32 bits).
  virtual uint32_t GetFileSize(QFileHandle handle);
  // 14: the platform handle behind a file server handle.
  virtual QFileHandle GetWin32Handle(QFileHandle handle);
};

// The current file server; never null.
QIFileServerFunctions* GetFileServer();
// Installs `server` (null restores the default); answers the previous one.
QIFileServerFunctions* SetFileServer(QIFileServerFunctions* server);

// Installs a file server for as long as it lives (tests, tools).
class ScopedFileServer {
 public:
  explicit ScopedFileServer(QIFileServerFunctions* server) : previous_(SetFileServer(server)) {}
  ~ScopedFileServer() { SetFileServer(previous_); }
  ScopedFileServer(const ScopedFileServer&) = delete;
  ScopedFileServer& operator=(const ScopedFileServer&) = delete;

 private:
  QIFileServerFunctions* previous_;
};

}  // namespace corvane
