#pragma once

#include <cstdint>

#include "stream/file_buffer.h"
#include "stream/qi_stream.h"

namespace corvane {

// Input stream over a file buffer.
class QIStreamDataSource : public QIStream {
 public:
  QIStreamDataSource() = default;
  explicit QIStreamDataSource(Ref<IFileBuffer> source) { SetSource(std::move(source)); }

  // Reads `source` from position 0; flags are cleared (set when it is null or
  // in error).
  void SetSource(Ref<IFileBuffer> source);
  const Ref<IFileBuffer>& GetSource() const { return source_; }

  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
  bool PreRead(int64_t start, int64_t size) override;
  int64_t GetDataSize() const override { return source_ ? source_->GetSize() : 0; }

 protected:
  Ref<IFileBuffer> source_;
};

// Input stream over a file opened through the file server.
class QIFStream : public QIStreamDataSource {
 public:
  // Size that stands for "the whole file" (-2 as an unsigned 32-bit value).
  static constexpr int64_t kWholeFile = 4294967294LL;

  QIFStream() = default;
  explicit QIFStream(const char* name) { open(name); }

  // Opens `name` and reads the window [offset, offset + size) of it (cut to
  // the file). A file that cannot be opened leaves the failure flag set and
  // yields no data; nothing is reported and the error code is unchanged. The
  // end flag keeps its value.
  void open(const char* name, int64_t offset = 0, int64_t size = kWholeFile);
  // Releases the page and the file (its handle is closed).
  void close();
};

// How archive banks serve QIFStreamB: the bank subsystem installs one opener;
// while none is installed every path is a plain file.
class IBankFileOpener {
 public:
  virtual ~IBankFileOpener() = default;
  // Answers true and sets `buffer` (and `bank`, kept with the stream) when a
  // registered bank serves `path` and holds the entry. Answers false to fall
  // back to the plain file (after logging "File %s not in bank" when a bank
  // serves the path but lacks the entry).
  virtual bool OpenFromBank(const char* path, int64_t offset, int64_t size,
                            Ref<IFileBuffer>& buffer, Ref<RefCount>& bank) = 0;
};

// The installed bank opener, or null.
IBankFileOpener* GetBankFileOpener();
// Installs `opener` (null: none); answers the previous one.
IBankFileOpener* SetBankFileOpener(IBankFileOpener* opener);

// A file stream that may be served from an archive bank.
class QIFStreamB : public QIFStream {
 public:
  QIFStreamB() = default;

  void open(const char* name, int64_t offset = 0, int64_t size = kWholeFile);
  void close();
  // The bank serving the stream, or null for a plain file.
  const Ref<RefCount>& GetBank() const { return bank_; }

 private:
  Ref<RefCount> bank_;
};

}  // namespace corvane
