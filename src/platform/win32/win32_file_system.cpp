#include <windows.h>

#include <cstring>
#include <string>

#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/win32/win32_long_path.h"

namespace corvane::platform {

namespace {

bool AttributeData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  return path != nullptr &&
         GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, data) != 0;
}

// The volume root of a path ("C:\" of "C:\Games\x"): what GetDiskFreeSpaceA takes.
bool VolumeRoot(const char* path, char (&root)[4]) {
  if (std::strlen(path) < 3 || path[1] != ':' || path[2] != '\\') return false;
  std::memcpy(root, path, 3);
  root[3] = '\0';
  return true;
}

}  // namespace

// DeleteFileA removes a symbolic link itself, never its target.
bool RemoveFile(const char* path) {
  if (path == nullptr) return false;
  if (DeleteFileW(WidePath(path).c_str())) return true;
  RecordFileError(static_cast<int>(GetLastError()));
  return false;
}

bool RenameReplacing(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  RecordFileError(static_cast<int>(GetLastError()));
  return false;
}

FileAttributes QueryFileAttributes(const char* path) {
  FileAttributes attributes;
  DWORD value = path ? GetFileAttributesW(WidePath(path).c_str()) : INVALID_FILE_ATTRIBUTES;
  if (value == INVALID_FILE_ATTRIBUTES) return attributes;
  attributes.exists = true;
  attributes.directory = (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
  attributes.read_only = (value & FILE_ATTRIBUTE_READONLY) != 0;
  attributes.link = (value & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return attributes;
}

bool SetReadOnly(const char* path, bool read_only) {
  DWORD value = path ? GetFileAttributesW(WidePath(path).c_str()) : INVALID_FILE_ATTRIBUTES;
  if (value == INVALID_FILE_ATTRIBUTES) {
    RecordFileError(static_cast<int>(GetLastError()));
    return false;
  }
  // A link's attributes are not the file's; leave both alone.
  if (value & FILE_ATTRIBUTE_REPARSE_POINT) {
    RecordFileError(ERROR_ACCESS_DENIED);
    return false;
  }
  DWORD wanted = read_only ? (value | FILE_ATTRIBUTE_READONLY) : (value & ~FILE_ATTRIBUTE_READONLY);
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(WidePath(path).c_str(), wanted) != 0;
}

bool MakeDirectory(const char* path) {
  if (path == nullptr) return false;
  if (CreateDirectoryW(WidePath(path).c_str(), nullptr)) return true;
  DWORD value = GetFileAttributesW(WidePath(path).c_str());
  return value != INVALID_FILE_ATTRIBUTES && (value & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveEmptyDirectory(const char* path) {
  if (path == nullptr) return false;
  // A reparse point is a link here, never a folder of ours.
  DWORD value = GetFileAttributesW(WidePath(path).c_str());
  if (value == INVALID_FILE_ATTRIBUTES || (value & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (value & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  return RemoveDirectoryW(WidePath(path).c_str()) != 0;
}

bool FileModificationTime(const char* path, int64_t* time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!AttributeData(path, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  *time = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                               data.ftLastWriteTime.dwLowDateTime);
  return true;
}

bool FileExists(const char* path) {
  DWORD value = path ? GetFileAttributesW(WidePath(path).c_str()) : INVALID_FILE_ATTRIBUTES;
  return value != INVALID_FILE_ATTRIBUTES && (value & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileSizeOf(const char* path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!AttributeData(path, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool FreeDiskSpace(const char* path, uint64_t* bytes) {
  if (path == nullptr) return false;
  ULARGE_INTEGER available;
  if (GetDiskFreeSpaceExW(WidePath(path).c_str(), &available, nullptr, nullptr)) {
    *bytes = available.QuadPart;
    return true;
  }
  char root[4];
  DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
  if (!VolumeRoot(path, root) || !GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector,
                                                    &free_clusters, &total_clusters)) {
    return false;
  }
  *bytes = static_cast<uint64_t>(sectors_per_cluster) * bytes_per_sector * free_clusters;
  return true;
}

bool StoredFileName(const char* path, std::string* stored_name) {
  if (path == nullptr || *path == '\0' || std::strpbrk(path, "*?") != nullptr) return false;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(WidePath(path).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  *stored_name = NarrowName(data.cFileName);
  return true;
}

std::string AbsolutePath(const char* path) {
  if (path == nullptr) return {};
  const std::wstring wide = WidePath(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring absolute(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, absolute.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  absolute.resize(length);
  // A long path comes back in the "\\?\" form WidePath gave it.
  if (absolute.rfind(L"\\\\?\\", 0) == 0) absolute.erase(0, 4);
  return NarrowName(absolute.c_str());
}

}  // namespace corvane::platform
