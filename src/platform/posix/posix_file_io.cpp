#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_io.h"
#include "platform/host_path.h"

namespace corvane::platform {

namespace {

int g_last_error = 0;

int Fail() {
  g_last_error = errno;
  return g_last_error;
}

FileHandle FromDescriptor(int fd) {
  if (fd < 0) {
    Fail();
    return kInvalidFileHandle;
  }
  return static_cast<FileHandle>(fd) + 1;
}

int ToDescriptor(FileHandle handle) {
  if (!IsValidFileHandle(handle)) return -1;
  return static_cast<int>(handle - 1);
}

int OpenHost(const char* path, int flags) {
  if (path == nullptr) {
    errno = ENOENT;
    return -1;
  }
  std::string host = HostPath(path);
  int fd;
  do {
    fd = ::open(host.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

FileHandle FileOpenRead(const char* path) {
  int fd = OpenHost(path, O_RDONLY);
  if (fd >= 0) {
    // A directory opens for reading on posix but is no file to read.
    struct stat info;
    int error = 0;
    if (::fstat(fd, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EACCES;
    }
    if (error != 0) {
      ::close(fd);
      errno = error;
      fd = -1;
    }
  }
  return FromDescriptor(fd);
}

FileHandle FileOpenWrite(const char* path) {
  return FromDescriptor(OpenHost(path, O_WRONLY | O_CREAT | O_TRUNC));
}

FileHandle FileCreateNew(const char* path) {
  // O_EXCL alone already refuses a link at the name; O_NOFOLLOW says so twice.
  return FromDescriptor(OpenHost(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW));
}

bool FileSync(FileHandle handle) {
  int fd = ToDescriptor(handle);
  if (fd < 0) {
    g_last_error = EBADF;
    return false;
  }
  if (::fsync(fd) != 0) {
    Fail();
    return false;
  }
  return true;
}

FileHandle FileOpenAppend(const char* path) {
  ScopedFile file(FromDescriptor(OpenHost(path, O_WRONLY | O_CREAT)));
  if (!file.IsValid()) return kInvalidFileHandle;
  if (::lseek(ToDescriptor(file.Get()), 0, SEEK_END) < 0) {
    Fail();
    return kInvalidFileHandle;
  }
  return file.Release();
}

bool FileClose(FileHandle handle) {
  int fd = ToDescriptor(handle);
  if (fd < 0) {
    g_last_error = EBADF;
    return false;
  }
  // The descriptor is gone even when close reports an error; never retry.
  if (::close(fd) != 0) {
    Fail();
    return false;
  }
  return true;
}

int64_t FileReadAt(FileHandle handle, uint64_t offset, void* destination, uint32_t size) {
  int fd = ToDescriptor(handle);
  if (fd < 0) {
    g_last_error = EBADF;
    return -1;
  }
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    Fail();
    return -1;
  }
  char* out = static_cast<char*>(destination);
  uint32_t done = 0;
  while (done < size) {
    ssize_t got = ::read(fd, out + done, size - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail();
      return -1;
    }
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

uint32_t FileWrite(FileHandle handle, const void* data, uint32_t size) {
  int fd = ToDescriptor(handle);
  if (fd < 0) {
    g_last_error = EBADF;
    return 0;
  }
  const char* in = static_cast<const char*>(data);
  uint32_t done = 0;
  while (done < size) {
    ssize_t put = ::write(fd, in + done, size - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail();
      break;
    }
    if (put == 0) {
      g_last_error = ENOSPC;
      break;
    }
    done += static_cast<uint32_t>(put);
  }
  return done;
}

bool FileSeek(FileHandle handle, uint64_t offset) {
  int fd = ToDescriptor(handle);
  if (fd < 0) {
    g_last_error = EBADF;
    return false;
  }
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    Fail();
    return false;
  }
  return true;
}

bool FileSize64(FileHandle handle, uint64_t* size) {
  int fd = ToDescriptor(handle);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    if (fd < 0) errno = EBADF;
    Fail();
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

uint32_t FileSize32(FileHandle handle) {
  uint64_t size = 0;
  if (!FileSize64(handle, &size)) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(size);
}

int64_t FileWriteTime(FileHandle handle) {
  int fd = ToDescriptor(handle);
  struct stat info;
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    if (fd < 0) errno = EBADF;
    Fail();
    return 0;
  }
  return static_cast<int64_t>(info.st_mtime);
}

int FileLastError() { return g_last_error; }

void RecordFileError(int native_error) { g_last_error = native_error; }

FileFault ClassifyFileError(int native_error) {
  switch (native_error) {
    case 0:
      return FileFault::kNone;
    case ENOENT:
    case ENOTDIR:
      return FileFault::kNotFound;
    case ETXTBSY:
    case EBUSY:
      return FileFault::kInUse;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileFault::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return FileFault::kDiskFull;
    default:
      return FileFault::kOther;
  }
}

LSError FileErrorToLSError(int native_error) {
  switch (native_error) {
    case 0:
      return LSOK;
    case ENOENT:
      return LSNoFile;
    case ENOSPC:
      return LSDiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
      return LSNoAccess;
    case EIO:
      return LSDiskError;
    default:
      return LSUnknownError;
  }
}

}  // namespace corvane::platform
