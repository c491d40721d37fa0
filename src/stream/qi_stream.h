#pragma once

#include <cstdint>

#include "foundation/r_string.h"
#include "stream/ls_error.h"
#include "stream/stream_buffer.h"

namespace corvane {

class QOStream;

// Paged input stream. A data source (the subclass) hands out shared pages on
// demand through ReadBuffer; the stream keeps the current page, a read
// position inside it, a failure flag, an end flag and an error code. The
// absolute position is page start + read position.
//
// No operation reads outside the current page, whatever the source answers:
// a page that does not contain the requested position, or claims more bytes
// than its buffer holds, counts as the end of the data.
class QIStream {
 public:
  QIStream() = default;
  virtual ~QIStream() = default;

  QIStream(const QIStream&) = delete;
  QIStream& operator=(const QIStream&) = delete;

  // Yields the page that contains `position`. `previous` is the page the
  // stream lets go of (the source may drop or reuse it).
  virtual PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) = 0;
  // Hint that [start, start + size) will be read soon; answers whether the
  // data is ready.
  virtual bool PreRead(int64_t start, int64_t size) = 0;
  // Hint that reading goes on sequentially from the current position.
  virtual void PreReadSequential(int64_t size);
  // Total size of the stream's data.
  virtual int64_t GetDataSize() const = 0;
  // Name and line that messages about the contents should cite; the empty
  // name and line 1 by default.
  virtual void GetSourceLocation(RString& name, int& line) const;
  virtual void SetSourceLocation(const RString& name, int line);

  // The next byte as 0..255, or -1 at the end of the data (end flag set).
  // Inline while the page lasts: readers take most bytes one at a time.
  int get() {
    if (read_pos_ < page_.length) return static_cast<unsigned char>(page_data_[read_pos_++]);
    return GetFromNextPage();
  }
  // Steps back over the byte just read (one byte of look-back); no effect at
  // position 0.
  void unget();
  // Copies up to `count` bytes; answers the number copied. Running out of
  // data sets the end flag, and the failure flag when at least one byte was
  // copied.
  int64_t read(void* destination, int64_t count);
  // One text line ending in LF, CR or CR LF (the terminator is not stored).
  // Stores at most capacity - 1 bytes and a zero; a longer line is cut and
  // its rest skipped. Answers true when a line end was found, false when the
  // data ended first. capacity <= 0 stores nothing.
  bool readLine(char* destination, int capacity);
  // Discards up to and including the next line end; false when the data ended.
  bool skipLine();
  // Moves to `position`, clamped to [0, GetDataSize()]. Inside the current
  // page both flags keep their values; elsewhere they are cleared.
  void seekg(int64_t position);
  int64_t tellg() const { return page_.start + read_pos_; }
  // Copies everything from the current position to `output`.
  void copy(QOStream& output);

  bool eof() const { return eof_; }
  bool fail() const { return fail_; }
  LSError error() const { return error_; }
  // Clears both flags (the error code stays).
  void clear() { eof_ = fail_ = false; }
  void SetFail() { fail_ = true; }
  void SetError(LSError error) { error_ = error; }

 protected:
  // Drops the current page and moves to position 0 without touching flags.
  void ResetPage();
  void SetFlags(bool fail, bool eof) {
    fail_ = fail;
    eof_ = eof;
  }

 private:
  bool Refill();
  int GetFromNextPage();
  bool PageHasData() const { return read_pos_ < page_.length; }
  const char* PageData() const { return page_data_; }
  // Sets the current page and the pointer to its bytes.
  void SetPage(PageDescriptor page);

  PageDescriptor page_;
  const char* page_data_ = nullptr;  // page_.buffer's bytes (null without a buffer)
  uint32_t read_pos_ = 0;
  bool fail_ = false;
  bool eof_ = false;
  LSError error_ = LSOK;
};

}  // namespace corvane
