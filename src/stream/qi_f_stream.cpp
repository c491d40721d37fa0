#include "stream/qi_f_stream.h"

namespace corvane {

namespace {

IBankFileOpener* g_bank_file_opener = nullptr;

}  // namespace

void QIStreamDataSource::SetSource(Ref<IFileBuffer> source) {
  source_ = std::move(source);
  ResetPage();
  bool missing = !source_ || source_->IsError();
  SetFlags(missing, false);
}

PageDescriptor QIStreamDataSource::ReadBuffer(Ref<QIStreamBuffer> previous, int64_t position) {
  if (!source_) {
    PageDescriptor page;
    page.start = position;
    return page;
  }
  return source_->ReadBuffer(std::move(previous), position);
}

bool QIStreamDataSource::PreRead(int64_t start, int64_t size) {
  return source_ ? source_->PreRead(start, size) : true;
}

void QIFStream::open(const char* name, int64_t offset, int64_t size) {
  const bool end_flag = eof();
  ResetPage();
  SetFlags(true, end_flag);
  Ref<IFileBuffer> file = new FileBufferLoading(name);
  if (file->IsError()) {
    source_ = new FileBufferError;
    return;
  }
  if (offset != 0 || size < file->GetSize()) file = new FileBufferSub(file, offset, size);
  source_ = std::move(file);
  SetFlags(false, end_flag);
}

void QIFStream::close() {
  ResetPage();
  source_.Free();
}

IBankFileOpener* GetBankFileOpener() { return g_bank_file_opener; }

IBankFileOpener* SetBankFileOpener(IBankFileOpener* opener) {
  IBankFileOpener* previous = g_bank_file_opener;
  g_bank_file_opener = opener;
  return previous;
}

void QIFStreamB::open(const char* name, int64_t offset, int64_t size) {
  const bool end_flag = eof();
  ResetPage();
  SetFlags(true, end_flag);
  bank_.Free();
  if (IBankFileOpener* opener = g_bank_file_opener) {
    Ref<IFileBuffer> buffer;
    Ref<RefCount> bank;
    if (opener->OpenFromBank(name, offset, size, buffer, bank) && buffer) {
      source_ = std::move(buffer);
      bank_ = std::move(bank);
      SetFlags(false, end_flag);
      return;
    }
  }
  QIFStream::open(name, offset, size);
}

void QIFStreamB::close() {
  QIFStream::close();
  bank_.Free();
}

}  // namespace corvane
