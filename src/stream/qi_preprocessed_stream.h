#pragma once

#include <memory>

#include "foundation/r_string.h"
#include "stream/qi_stream.h"

namespace corvane {

// Hands out another stream's data one line at a time, counting lines, so that
// messages about the text can cite a source name and line. Positions are
// served in order only: a request for anything but the end of the last page
// handed out finds no data.
class QIPreprocessedStream : public QIStream {
 public:
  // Takes ownership of `source`.
  explicit QIPreprocessedStream(std::unique_ptr<QIStream> source);

  PageDescriptor ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) override;
  bool PreRead(int64_t start, int64_t size) override;
  int64_t GetDataSize() const override;
  void GetSourceLocation(RString& name, int& line) const override;
  void SetSourceLocation(const RString& name, int line) override;

  QIStream* GetSource() const { return source_.get(); }

 private:
  std::unique_ptr<QIStream> source_;
  RString name_;
  int line_ = 1;
  int64_t next_position_ = 0;  // end of the last page handed out
  bool ended_line_ = false;    // the last page ended with a line feed
};

}  // namespace corvane
