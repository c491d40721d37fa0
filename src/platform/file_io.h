#pragma once

#include <cstdint>

#include "base/ls_error_code.h"

namespace corvane::platform {

// The narrow file service beneath the stream file server: open, positioned
// read, write, seek, size, modification time, close and the error number of
// the last failure. Paths are Windows paths; the posix backend resolves them
// through HostPath (backslashes, drive letters, letter case).
//
// Where the systems differ:
// - win32 opens for writing without sharing; posix has no mandatory locks, so
//   another process may still open a file being written.
// - Error numbers are GetLastError values on win32 and errno values on posix;
//   only their mapping onto stream error codes (FileErrorToLSError) and onto
//   the faults a player can act on (ClassifyFileError) is common.

// Opaque handle value. 0 and all bits set are never valid handles (posix
// descriptors are stored off by one so that descriptor 0 stays valid).
using FileHandle = uintptr_t;
inline constexpr FileHandle kNullFileHandle = 0;
inline constexpr FileHandle kInvalidFileHandle = ~static_cast<FileHandle>(0);

inline bool IsValidFileHandle(FileHandle handle) {
  return handle != kNullFileHandle && handle != kInvalidFileHandle;
}

// Existing file for reading, others may read it too. kInvalidFileHandle on failure.
FileHandle FileOpenRead(const char* path);
// Creates or truncates for writing, no sharing. kInvalidFileHandle on failure.
FileHandle FileOpenWrite(const char* path);
// Creates a new file for writing, no sharing, only when nothing at all is at
// `path`: an existing file or a link (even one whose target is missing) makes
// it fail, so a file planted there in advance is never written through
// (posix O_CREAT|O_EXCL|O_NOFOLLOW, win32 CREATE_NEW on the name itself).
// kInvalidFileHandle on failure.
FileHandle FileCreateNew(const char* path);
// Opens or creates for writing, positioned at the end. kInvalidFileHandle on failure.
FileHandle FileOpenAppend(const char* path);
// Makes what was written to the file durable (fsync / FlushFileBuffers), so
// that a rename after it cannot expose an empty file after a power loss.
bool FileSync(FileHandle handle);
// Closes a valid handle; false (and FileLastError set) when the system refused.
bool FileClose(FileHandle handle);

// Moves to `offset` from the beginning and reads up to `size` bytes; answers
// the number read (short at the end of the file), or -1 on failure.
int64_t FileReadAt(FileHandle handle, uint64_t offset, void* destination, uint32_t size);
// Writes at the current position; answers the number of bytes written. A
// short count means failure (FileLastError tells why).
uint32_t FileWrite(FileHandle handle, const void* data, uint32_t size);
// Moves the current position to `offset` from the beginning.
bool FileSeek(FileHandle handle, uint64_t offset);

// Size cut to 32 bits, as the file server reports it; 0xFFFFFFFF on failure.
uint32_t FileSize32(FileHandle handle);
// Full size; false on failure.
bool FileSize64(FileHandle handle, uint64_t* size);
// Last-write time in seconds since 1970-01-01 00:00 UTC; 0 on failure.
int64_t FileWriteTime(FileHandle handle);

// The native error number of the most recent failed call of this service
// (0 when none failed yet).
int FileLastError();
// The stream error code for a native error number: LSNoFile, LSDiskFull,
// LSNoAccess (access denied and its kin), LSDiskError (device fault),
// LSUnknownError for anything else (0 is LSOK).
LSError FileErrorToLSError(int native_error);

// What a failed file call means to the player, whatever the system's number.
enum class FileFault {
  kNone,
  // No such file or folder.
  kNotFound,
  // Another program holds it: win32 sharing or lock violation; posix ETXTBSY, EBUSY.
  kInUse,
  // Not allowed: win32 access denied; posix EACCES, EPERM, EROFS.
  kAccessDenied,
  kDiskFull,
  kOther,
};
// The fault class of a native error number (0 is kNone).
FileFault ClassifyFileError(int native_error);
// The fault class of the most recent failed call of this service or of
// file_system.h.
inline FileFault LastFileFault() { return ClassifyFileError(FileLastError()); }
// Records the native error number of a failed call, for LastFileFault. The
// file_system.h backends record theirs here; callers need not.
void RecordFileError(int native_error);

// Owns a handle and closes it on every path.
class ScopedFile {
 public:
  ScopedFile() = default;
  explicit ScopedFile(FileHandle handle) : handle_(handle) {}
  ~ScopedFile() { Close(); }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  FileHandle Get() const { return handle_; }
  bool IsValid() const { return IsValidFileHandle(handle_); }
  // Gives up ownership without closing.
  FileHandle Release() {
    FileHandle handle = handle_;
    handle_ = kInvalidFileHandle;
    return handle;
  }
  bool Close() {
    if (!IsValid()) return true;
    FileHandle handle = Release();
    return FileClose(handle);
  }

 private:
  FileHandle handle_ = kInvalidFileHandle;
};

}  // namespace corvane::platform
