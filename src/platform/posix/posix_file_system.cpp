#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/host_path.h"
#include "text/code_page_1252.h"

namespace corvane::platform {

namespace {

bool StatHost(const char* path, struct stat* info) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  return ::stat(host.c_str(), info) == 0;
}

// Splits a Windows path into its directory part (with its separator) and its
// file-name part: after the last "\" or "/", else after a leading "X:".
void SplitName(const std::string& path, std::string* directory, std::string* name) {
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) {
    *directory = path.substr(0, cut + 1);
    *name = path.substr(cut + 1);
  } else if (path.size() >= 2 && path[1] == ':') {
    *directory = path.substr(0, 2);
    *name = path.substr(2);
  } else {
    directory->clear();
    *name = path;
  }
}

}  // namespace

bool RemoveFile(const char* path) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  struct stat info;
  if (::lstat(host.c_str(), &info) != 0) {
    RecordFileError(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    RecordFileError(EISDIR);
    return false;
  }
  if (::unlink(host.c_str()) != 0) {
    RecordFileError(errno);
    return false;
  }
  return true;
}

bool RenameReplacing(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  std::string host_from = HostPath(from);
  std::string host_to = HostPath(to);
  if (::rename(host_from.c_str(), host_to.c_str()) != 0) {
    RecordFileError(errno);
    return false;
  }
  // The rename lives in the folder: made durable there too, so that a power
  // loss cannot undo it once this answers. The rename itself is done
  // whatever the folder's sync says.
  const size_t slash = host_to.rfind('/');
  std::string folder = ".";
  if (slash != std::string::npos) folder = slash == 0 ? "/" : host_to.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

FileAttributes QueryFileAttributes(const char* path) {
  FileAttributes attributes;
  if (path == nullptr) return attributes;
  std::string host = HostPath(path);
  struct stat info;
  if (::lstat(host.c_str(), &info) != 0) return attributes;
  attributes.exists = true;
  attributes.link = S_ISLNK(info.st_mode);
  // What a link leads to; a link to nothing is neither directory nor read-only.
  if (attributes.link && ::stat(host.c_str(), &info) != 0) return attributes;
  attributes.directory = S_ISDIR(info.st_mode);
  attributes.read_only = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return attributes;
}

bool SetReadOnly(const char* path, bool read_only) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  // Through a descriptor opened without following a link: the mode changed
  // is the one of the file at this name, never of a link's target, even if
  // a link is put there between a check and the change.
  int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat info;
  if (fd < 0 && errno == EACCES) {
    // A file its owner may not read: by name, after making sure the name is
    // no link.
    if (::lstat(host.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      RecordFileError(EACCES);
      return false;
    }
    mode_t mode = info.st_mode & 07777;
    mode =
        read_only ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    if (::chmod(host.c_str(), mode) == 0) return true;
    RecordFileError(errno);
    return false;
  }
  if (fd < 0) {
    RecordFileError(errno);
    return false;
  }
  bool done = false;
  if (::fstat(fd, &info) != 0) {
    RecordFileError(errno);
  } else if (!S_ISREG(info.st_mode)) {
    RecordFileError(EINVAL);
  } else {
    mode_t mode = info.st_mode & 07777;
    if (read_only) {
      mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
      mode |= S_IWUSR;
    }
    done = ::fchmod(fd, mode) == 0;
    if (!done) RecordFileError(errno);
  }
  ::close(fd);
  return done;
}

bool MakeDirectory(const char* path) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (::mkdir(host.c_str(), 0777) == 0) return true;
  struct stat info;
  return errno == EEXIST && ::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveEmptyDirectory(const char* path) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  // rmdir refuses a link (ENOTDIR) and a folder with entries.
  return ::rmdir(host.c_str()) == 0;
}

bool FileModificationTime(const char* path, int64_t* time) {
  struct stat info;
  if (!StatHost(path, &info) || S_ISDIR(info.st_mode)) return false;
  *time = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

bool FileExists(const char* path) {
  struct stat info;
  return StatHost(path, &info) && !S_ISDIR(info.st_mode);
}

bool FileSizeOf(const char* path, uint64_t* size) {
  struct stat info;
  if (!StatHost(path, &info) || S_ISDIR(info.st_mode)) return false;
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool FreeDiskSpace(const char* path, uint64_t* bytes) {
  if (path == nullptr) return false;
  std::string host = HostPath(path);
  // The path may name a file still to be made: ask its nearest existing parent.
  for (;;) {
    struct statvfs info;
    if (!host.empty() && ::statvfs(host.c_str(), &info) == 0) {
      *bytes = static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) return false;
    while (!host.empty() && host.back() == '/') host.pop_back();
    size_t cut = host.find_last_of('/');
    if (cut == std::string::npos) {
      if (host.empty() || host == ".") return false;
      host = ".";
    } else {
      host = host.substr(0, cut == 0 ? 1 : cut);
    }
  }
}

bool StoredFileName(const char* path, std::string* stored_name) {
  if (path == nullptr) return false;
  std::string directory, name;
  SplitName(path, &directory, &name);
  if (name.empty()) return false;
  std::string host_directory = directory.empty() ? std::string(".") : HostPath(directory.c_str());
  if (host_directory.empty()) host_directory = ".";
  DIR* dir = ::opendir(host_directory.c_str());
  if (dir == nullptr) return false;
  // Names inside the system are code page 1252 and the disk holds them in
  // UTF-8 (as HostPath maps them): compared, and answered, in each one's form.
  const std::string host_name =
      text::IsValidUtf8(name) ? name : text::Utf16ToUtf8(text::Cp1252ToUtf16(name));
  // Two entries may differ only in letter case here; the one spelt as asked wins.
  std::string found;
  while (struct dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, host_name.c_str()) != 0 &&
        !text::EqualsNameNoCase(text::Utf8ToUtf16(entry->d_name), text::Utf8ToUtf16(host_name))) {
      continue;
    }
    found = entry->d_name;
    if (found == host_name) break;
  }
  ::closedir(dir);
  if (found.empty() || found == "." || found == "..") return false;
  *stored_name = text::Utf16ToCp1252(text::Utf8ToUtf16(found));
  return true;
}

std::string AbsolutePath(const char* path) {
  if (path == nullptr) return {};
  std::string host = HostPath(path);
  if (!host.empty() && host[0] == '/') return host;
  std::unique_ptr<char, decltype(&std::free)> here(getcwd(nullptr, 0), &std::free);
  if (here == nullptr) return path;
  std::string absolute = here.get();
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + host;
}

}  // namespace corvane::platform
