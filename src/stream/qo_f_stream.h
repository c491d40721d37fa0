#pragma once

#include "stream/file_server.h"
#include "stream/qo_stream.h"

namespace corvane {

// Output stream to a file. Bytes collect in the buffer and reach the file in
// one system write per flush (when the buffer is full, on SeekP outside it,
// on close). A failed open or write sets the failure flag and the error code
// from the system error; later writes are still taken into the buffer but
// never reach the file. The destructor closes.
class QOFStream : public QOStream {
 public:
  QOFStream() = default;
  explicit QOFStream(const char* name) { open(name); }
  ~QOFStream() override;

  // Creates or truncates `name` (forward slashes become backslashes).
  void open(const char* name);
  // Opens or creates `name` and writes at its end.
  void openAppend(const char* name);
  // Flushes and closes the file; positions and handle are reset.
  void close() override;
  bool fail() const override { return fail_; }
  bool IsOpen() const { return GetFileServer()->CheckHandle(handle_); }

  // Writes the valid bytes to the file and empties the buffer (the size
  // argument does not matter: the buffer never grows).
  void Flush(size_t size) override;
  void Flush() { Flush(0); }
  void SeekP(int64_t position) override;

 private:
  void Open(const char* name, bool append);
  void SetSystemFailure();

  QFileHandle handle_ = platform::kInvalidFileHandle;
};

}  // namespace corvane
