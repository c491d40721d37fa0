#include "stream/file_server.h"

#include <algorithm>

#include "stream/qi_f_stream.h"
#include "stream/qo_f_stream.h"

namespace corvane {

namespace {

constinit QIFileServerFunctions g_default_file_server;
constinit QIFileServerFunctions* g_file_server = &g_default_file_server;

}  // namespace

QIFileServerFunctions* GetFileServer() { return g_file_server; }

QIFileServerFunctions* SetFileServer(QIFileServerFunctions* server) {
  QIFileServerFunctions* previous = g_file_server;
  g_file_server = server ? server : &g_default_file_server;
  return previous;
}

bool QIFileServerFunctions::BeforeOpen(const char*) { return true; }

bool QIFileServerFunctions::RequestRead(ReadCallback callback, void* context, QFileHandle, int64_t,
                                        int64_t) {
  if (callback) callback(context);
  return true;
}

PageDescriptor QIFileServerFunctions::ReadPage(QFileHandle handle, int64_t start, uint32_t size) {
  PageDescriptor page;
  page.start = start;
  page.buffer = new QIStreamBufferPage(GetPageSize());
  // Never read more than the page holds, whatever the caller asked for.
  uint32_t wanted = static_cast<uint32_t>(std::min<size_t>(size, page.buffer->GetSize()));
  if (wanted == 0) return page;
  int64_t got = platform::FileReadAt(GetWin32Handle(handle), static_cast<uint64_t>(start),
                                     page.buffer->GetWritableData(), wanted);
  page.length = got > 0 ? static_cast<uint32_t>(got) : 0;
  return page;
}

QFileHandle QIFileServerFunctions::OpenReadHandle(const char* name) {
  return platform::FileOpenRead(name);
}

QFileHandle QIFileServerFunctions::OpenWriteHandle(const char* name) {
  return platform::FileOpenWrite(name);
}

QFileHandle QIFileServerFunctions::OpenAppendHandle(const char* name) {
  return platform::FileOpenAppend(name);
}

void QIFileServerFunctions::HandleHook(QFileHandle) {}

RString QIFileServerFunctions::GetHandleName(QFileHandle handle) {
  return FormatString("Handle %x", static_cast<unsigned int>(handle));
}

void QIFileServerFunctions::CloseReadHandle(const char*, QFileHandle handle) {
  platform::FileClose(GetWin32Handle(handle));
}

bool QIFileServerFunctions::CheckHandle(QFileHandle handle) {
  return platform::IsValidFileHandle(handle);
}

uint32_t QIFileServerFunctions::GetPageSize() { return 8192; }

bool QIFileServerFunctions::CopyFile(const char* source, const char* destination) {
  if (CompareNoCase(source, destination) == 0) return true;
  QIFStream in;
  in.open(source);
  // Opening the destination truncates it; not worth doing without a source.
  if (in.fail()) return false;
  QOFStream out;
  out.open(destination);
  if (out.fail()) return false;
  in.copy(out);
  // The end of a copy sets the input's failure flag too (a short last read),
  // so completeness is judged by the position reached.
  bool read_ok = in.tellg() == in.GetDataSize();
  out.close();
  return read_ok && !out.fail();
}

int64_t QIFileServerFunctions::GetFileTime(QFileHandle handle) {
  return platform::FileWriteTime(GetWin32Handle(handle));
}

uint32_t QIFileServerFunctions::GetFileSize(QFileHandle handle) {
  return platform::FileSize32(GetWin32Handle(handle));
}

QFileHandle QIFileServerFunctions::GetWin32Handle(QFileHandle handle) { return handle; }

}  // namespace corvane
