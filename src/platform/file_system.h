#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::platform {

// File system operations of the update engine. Paths are Windows paths; the
// posix backend resolves them through HostPath (backslashes, drive letters,
// letter case). Every operation answers its failure; none reports anything.
//
// Where the systems differ:
// - RenameReplacing replaces an existing target in one step on both
//   (win32 MoveFileExA with MOVEFILE_REPLACE_EXISTING, posix rename). win32
//   refuses when the target is read-only or open without delete sharing; posix
//   replaces a read-only target (the directory's permissions decide).
// - RemoveFile: win32 refuses read-only files and open files; posix removes
//   both (an open file lives on until closed).
// - Read-only is the FILE_ATTRIBUTE_READONLY flag on win32 and the absence of
//   every write permission bit on posix.
// - Modification times are 100 ns ticks since 1601 on win32 and nanoseconds
//   since 1970 on posix: compare them with each other, never with a clock.
// - Names compare without regard to letter case on win32 always; on posix
//   only through StoredFileName (and HostPath's resolution).

struct FileAttributes {
  bool exists = false;     // something is at the name (a link counts, even one to nothing)
  bool directory = false;  // of what the name leads to
  bool read_only = false;  // of what the name leads to
  bool link = false;       // the name itself is a link (posix symbolic link, win32 reparse point)
};

// Failed calls record their native error for LastFileFault (file_io.h).

// Deletes a file; a link is removed itself, never its target. True when it
// is gone afterwards because of this call.
bool RemoveFile(const char* path);
// Moves `from` to `to`, replacing an existing `to` in one step; the move is
// on the disk when this answers (posix: the folder is synced; win32: write
// through). The file's own bytes are the writer's to sync (file_io.h).
bool RenameReplacing(const char* from, const char* to);
// Attributes of a path; exists is false when there is nothing there.
FileAttributes QueryFileAttributes(const char* path);
// Sets or clears the read-only attribute of the existing file named by
// `path` itself: a link is refused (false), so its target is never changed.
bool SetReadOnly(const char* path, bool read_only);
// Makes one directory (its parent must exist). True if made or already there.
bool MakeDirectory(const char* path);
// Removes one empty directory; a directory with anything in it, a file or a
// link stays. True when it was removed by this call.
bool RemoveEmptyDirectory(const char* path);
// Last-write time of an existing file (units: see above); false if none.
bool FileModificationTime(const char* path, int64_t* time);
// True when `path` names an existing file (not a directory).
bool FileExists(const char* path);
// Size of an existing file; false if none.
bool FileSizeOf(const char* path, uint64_t* size);
// Bytes free to the caller on the volume that holds `path` (win32
// GetDiskFreeSpaceExA, falling back to GetDiskFreeSpaceA; posix statvfs of
// the nearest existing directory). False when it cannot be determined.
bool FreeDiskSpace(const char* path, uint64_t* bytes);
// The file-name part of `path` as its directory stores it, found without
// regard to letter case (win32 FindFirstFileA; posix a scan of the
// directory, an exact match preferred). False when there is no such entry.
bool StoredFileName(const char* path, std::string* stored_name);
// The regular files below `directory`, at any depth, as names relative to it
// with backslashes between their levels (the order is the system's). False
// when `directory` is not a directory or could not be listed to its end.
bool ListFilesBelow(const char* directory, std::vector<std::string>* names);
// `path` made absolute against the current directory, in the host's form
// (posix: a host path; win32: the Windows path). `path` itself when the
// current directory cannot be told.
std::string AbsolutePath(const char* path);

}  // namespace corvane::platform
