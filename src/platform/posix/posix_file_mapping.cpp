#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/file_mapping.h"
#include "platform/host_path.h"

namespace corvane::platform {

namespace {

thread_local uint32_t g_last_error = 0;

// Descriptors are stored off by one so that descriptor 0 stays a valid handle.
MapHandle FromDescriptor(int fd) { return static_cast<MapHandle>(fd) + 1; }
int ToDescriptor(MapHandle handle) {
  return handle == kNoMapHandle ? -1 : static_cast<int>(handle - 1);
}

MapHandle Fail(int error) {
  g_last_error = static_cast<uint32_t>(error);
  return kNoMapHandle;
}

bool Refuse(int error) {
  g_last_error = static_cast<uint32_t>(error);
  return false;
}

}  // namespace

MapHandle OpenFileForMapping(const char* path) {
  if (path == nullptr) return Fail(ENOENT);
  std::string host = HostPath(path);
  int fd;
  do {
    fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return Fail(errno);
  struct stat info;
  int error = 0;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    error = EACCES;  // a directory opens for reading here but is no file to map
  }
  if (error != 0) {
    ::close(fd);
    return Fail(error);
  }
  return FromDescriptor(fd);
}

bool CloseMappedFileHandle(MapHandle file) {
  int fd = ToDescriptor(file);
  if (fd < 0) return Refuse(EBADF);
  if (::close(fd) != 0) return Refuse(errno);
  return true;
}

bool MappedFileSize(MapHandle file, uint64_t* size) {
  struct stat info;
  int fd = ToDescriptor(file);
  if (fd < 0) return Refuse(EBADF);
  if (::fstat(fd, &info) != 0) return Refuse(errno);
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

// posix maps straight from a descriptor; the "mapping" is a descriptor of its
// own, so that it outlives the file handle as a win32 mapping object does.
MapHandle CreateReadOnlyMapping(MapHandle file) {
  uint64_t size = 0;
  if (!MappedFileSize(file, &size)) return kNoMapHandle;
  if (size == 0) return Fail(EINVAL);
  int fd = ::fcntl(ToDescriptor(file), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return Fail(errno);
  return FromDescriptor(fd);
}

bool CloseMapping(MapHandle mapping) { return CloseMappedFileHandle(mapping); }

const uint8_t* MapView(MapHandle mapping, uint64_t offset, size_t bytes) {
  int fd = ToDescriptor(mapping);
  if (fd < 0 || bytes == 0) {
    Refuse(fd < 0 ? EBADF : EINVAL);
    return nullptr;
  }
  void* data =
      ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED | MAP_POPULATE, fd, static_cast<off_t>(offset));
  if (data == MAP_FAILED) {
    Refuse(errno);
    return nullptr;
  }
  return static_cast<const uint8_t*>(data);
}

void UnmapView(const uint8_t* data, size_t bytes) {
  if (data != nullptr) ::munmap(const_cast<uint8_t*>(data), bytes);
}

void ReleaseViewPages(const uint8_t* data, size_t bytes) {
  // For a shared file mapping this only drops the page table entries; the
  // pages stay in the page cache and fault back in on the next read.
  if (data != nullptr) ::madvise(const_cast<uint8_t*>(data), bytes, MADV_DONTNEED);
}

uint32_t AllocationGranularity() {
  long page = ::sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<uint32_t>(page) : 4096u;
}

uint32_t MappingLastError() { return g_last_error; }

uint64_t AvailableVirtualMemory() {
  // A 64-bit process has no address space shortage worth reporting; what the
  // diagnostics want is what could still be mapped, so answer the free memory.
  long pages = ::sysconf(_SC_AVPHYS_PAGES);
  long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page);
}

void ShowMemoryErrorBox(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace corvane::platform
