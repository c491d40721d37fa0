#include "stream/qo_f_stream.h"

namespace corvane {

QOFStream::~QOFStream() { close(); }

void QOFStream::SetSystemFailure() {
  fail_ = true;
  error_ = LSErrorFromLastSystemError();
}

void QOFStream::Open(const char* name, bool append) {
  if (IsOpen()) close();
  fail_ = false;
  error_ = LSOK;
  RString path = RString(name).Replace('/', '\\');
  QIFileServerFunctions* server = GetFileServer();
  server->BeforeOpen(path.Data());
  handle_ = append ? server->OpenAppendHandle(path.Data()) : server->OpenWriteHandle(path.Data());
  if (!server->CheckHandle(handle_)) {
    handle_ = platform::kInvalidFileHandle;
    SetSystemFailure();
  }
  write_pos_ = valid_ = 0;
  buffer_offset_ = total_size_ = 0;
}

void QOFStream::open(const char* name) { Open(name, false); }

void QOFStream::openAppend(const char* name) { Open(name, true); }

void QOFStream::Flush(size_t) {
  if (IsOpen() && !fail_ && valid_ > 0) {
    const QFileHandle file = GetFileServer()->GetWin32Handle(handle_);
    const uint32_t size = static_cast<uint32_t>(valid_);
    // After a SeekP back inside the buffer the file must continue from the
    // write position, not from the end of what was written.
    if (platform::FileWrite(file, buffer_->GetData(), size) != size ||
        (write_pos_ != valid_ &&
         !platform::FileSeek(file, static_cast<uint64_t>(buffer_offset_ + write_pos_)))) {
      SetSystemFailure();
    }
  }
  buffer_offset_ += static_cast<int64_t>(write_pos_);
  write_pos_ = valid_ = 0;
}

void QOFStream::SeekP(int64_t position) {
  if (position < 0) position = 0;
  if (position >= buffer_offset_ && position <= buffer_offset_ + static_cast<int64_t>(valid_)) {
    write_pos_ = static_cast<size_t>(position - buffer_offset_);
    return;
  }
  Flush();
  buffer_offset_ = position;
  if (IsOpen() && !fail_) {
    if (!platform::FileSeek(GetFileServer()->GetWin32Handle(handle_),
                            static_cast<uint64_t>(position))) {
      SetSystemFailure();
    }
  }
}

void QOFStream::close() {
  if (IsOpen()) {
    Flush();
    if (!platform::FileClose(GetFileServer()->GetWin32Handle(handle_))) {
      fail_ = true;
      if (error_ == LSOK) error_ = LSErrorFromLastSystemError();
    }
  }
  handle_ = platform::kInvalidFileHandle;
  write_pos_ = valid_ = 0;
  buffer_offset_ = total_size_ = 0;
}

}  // namespace corvane
