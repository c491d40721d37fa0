#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane::platform {

// Read-only memory mapping of whole files, in views at any multiple of the
// allocation granularity. This is what MappedFile (engine) builds its windows
// on; nothing else should need it.
//
// Handles are opaque values; kNoMapHandle is never a valid one. A mapping
// stays usable after the file handle it was made from is closed, and a view
// stays readable after both handles are closed, until it is unmapped.
//
// Where the systems differ:
// - win32 opens the file sharing reading only: nobody can write, rename or
//   delete it while it is open. posix has no such lock; a file truncated by
//   someone else while mapped faults on access to the lost pages.
// - The granularity is the system allocation granularity on win32 (64 KiB
//   usually) and the page size on posix.
// - Error codes are GetLastError values on win32 and errno values on posix.

using MapHandle = uintptr_t;
inline constexpr MapHandle kNoMapHandle = 0;

// Opens an existing file for reading (win32: CreateFileA GENERIC_READ,
// FILE_SHARE_READ, OPEN_EXISTING). kNoMapHandle on failure, a directory included.
MapHandle OpenFileForMapping(const char* path);
// Closes a file handle; false when the system refused or the handle is none.
bool CloseMappedFileHandle(MapHandle file);
// Full 64-bit size of an open file; false on failure.
bool MappedFileSize(MapHandle file, uint64_t* size);

// Creates a read-only mapping of the whole file. Fails (kNoMapHandle) for an
// empty file, as the win32 call does.
MapHandle CreateReadOnlyMapping(MapHandle file);
// Closes a mapping handle; false when the system refused or it is none.
bool CloseMapping(MapHandle mapping);

// Maps `bytes` bytes at `offset` (a multiple of AllocationGranularity()),
// read-only. nullptr on failure; MappingLastError() tells why.
const uint8_t* MapView(MapHandle mapping, uint64_t offset, size_t bytes);
// Unmaps a view made by MapView with the same `bytes`.
void UnmapView(const uint8_t* data, size_t bytes);
// Hint that the pages of a view will not be needed soon: they leave the
// process's resident set but stay readable (they come back from the file on
// the next touch). Costs nothing in correctness; may do nothing.
void ReleaseViewPages(const uint8_t* data, size_t bytes);

// Offsets of views must be multiples of this (a power of two).
uint32_t AllocationGranularity();
// Error code of the most recent failure of this service on this thread.
uint32_t MappingLastError();

// Bytes of address space still free to the process, for diagnostics after a
// failed mapping (win32: GlobalMemoryStatus dwAvailVirtual). 0 if unknown.
uint64_t AvailableVirtualMemory();
// Tells the user that memory ran out: win32 a message box with no owner and
// the error icon; posix a line on standard error.
void ShowMemoryErrorBox(const char* text, const char* caption);

}  // namespace corvane::platform
