#include <windows.h>

#include "platform/file_io.h"
#include "platform/win32/win32_long_path.h"

namespace corvane::platform {

namespace {

DWORD g_last_error = 0;

void Fail() { g_last_error = GetLastError(); }

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

FileHandle FromHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    Fail();
    return kInvalidFileHandle;
  }
  return reinterpret_cast<FileHandle>(handle);
}

bool CheckArgument(FileHandle handle) {
  if (IsValidFileHandle(handle)) return true;
  g_last_error = ERROR_INVALID_HANDLE;
  return false;
}

// Seconds between 1601-01-01 (FILETIME epoch) and 1970-01-01.
constexpr int64_t kFileTimeEpochOffset = 11644473600LL;

}  // namespace

FileHandle FileOpenRead(const char* path) {
  return FromHandle(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileOpenWrite(const char* path) {
  return FromHandle(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreateNew(const char* path) {
  // CREATE_NEW fails on any name already there; opening the reparse point
  // itself keeps a link from being followed to its target.
  return FromHandle(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool FileSync(FileHandle handle) {
  if (!CheckArgument(handle)) return false;
  if (!FlushFileBuffers(ToHandle(handle))) {
    Fail();
    return false;
  }
  return true;
}

FileHandle FileOpenAppend(const char* path) {
  ScopedFile file(FromHandle(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file.IsValid()) return kInvalidFileHandle;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(ToHandle(file.Get()), zero, nullptr, FILE_END)) {
    Fail();
    return kInvalidFileHandle;
  }
  return file.Release();
}

bool FileClose(FileHandle handle) {
  if (!CheckArgument(handle)) return false;
  if (!CloseHandle(ToHandle(handle))) {
    Fail();
    return false;
  }
  return true;
}

bool FileSeek(FileHandle handle, uint64_t offset) {
  if (!CheckArgument(handle)) return false;
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(ToHandle(handle), position, nullptr, FILE_BEGIN)) {
    Fail();
    return false;
  }
  return true;
}

int64_t FileReadAt(FileHandle handle, uint64_t offset, void* destination, uint32_t size) {
  if (!FileSeek(handle, offset)) return -1;
  char* out = static_cast<char*>(destination);
  uint32_t done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle), out + done, size - done, &got, nullptr)) {
      Fail();
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

uint32_t FileWrite(FileHandle handle, const void* data, uint32_t size) {
  if (!CheckArgument(handle)) return 0;
  DWORD written = 0;
  if (!WriteFile(ToHandle(handle), data, size, &written, nullptr)) {
    Fail();
    return written;
  }
  if (written < size) g_last_error = ERROR_DISK_FULL;
  return written;
}

bool FileSize64(FileHandle handle, uint64_t* size) {
  if (!CheckArgument(handle)) return false;
  LARGE_INTEGER value;
  if (!GetFileSizeEx(ToHandle(handle), &value)) {
    Fail();
    return false;
  }
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

uint32_t FileSize32(FileHandle handle) {
  if (!CheckArgument(handle)) return 0xFFFFFFFFu;
  DWORD size = GetFileSize(ToHandle(handle), nullptr);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) Fail();
  return size;
}

int64_t FileWriteTime(FileHandle handle) {
  if (!CheckArgument(handle)) return 0;
  FILETIME written;
  if (!GetFileTime(ToHandle(handle), nullptr, nullptr, &written)) {
    Fail();
    return 0;
  }
  ULARGE_INTEGER ticks;
  ticks.LowPart = written.dwLowDateTime;
  ticks.HighPart = written.dwHighDateTime;
  return static_cast<int64_t>(ticks.QuadPart / 10000000ULL) - kFileTimeEpochOffset;
}

int FileLastError() { return static_cast<int>(g_last_error); }

void RecordFileError(int native_error) { g_last_error = static_cast<DWORD>(native_error); }

FileFault ClassifyFileError(int native_error) {
  switch (static_cast<DWORD>(native_error)) {
    case 0:
      return FileFault::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileFault::kNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileFault::kInUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
      return FileFault::kAccessDenied;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return FileFault::kDiskFull;
    default:
      return FileFault::kOther;
  }
}

LSError FileErrorToLSError(int native_error) {
  switch (native_error) {
    case 0:
      return LSOK;
    case ERROR_FILE_NOT_FOUND:
      return LSNoFile;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
      return LSDiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
      return LSNoAccess;
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
      return LSDiskError;
    default:
      return LSUnknownError;
  }
}

}  // namespace corvane::platform
