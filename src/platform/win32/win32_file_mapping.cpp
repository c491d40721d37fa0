#include <windows.h>

#include "platform/file_mapping.h"
#include "platform/win32/win32_long_path.h"

namespace corvane::platform {

namespace {

thread_local DWORD g_last_error = 0;

HANDLE ToHandle(MapHandle handle) { return reinterpret_cast<HANDLE>(handle); }

MapHandle FromHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    g_last_error = GetLastError();
    return kNoMapHandle;
  }
  return reinterpret_cast<MapHandle>(handle);
}

bool CloseOne(MapHandle handle) {
  if (handle == kNoMapHandle) {
    g_last_error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (!CloseHandle(ToHandle(handle))) {
    g_last_error = GetLastError();
    return false;
  }
  return true;
}

}  // namespace

MapHandle OpenFileForMapping(const char* path) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return FromHandle(file);
}

bool CloseMappedFileHandle(MapHandle file) { return CloseOne(file); }

bool MappedFileSize(MapHandle file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(ToHandle(file), &value)) {
    g_last_error = GetLastError();
    return false;
  }
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

MapHandle CreateReadOnlyMapping(MapHandle file) {
  return FromHandle(CreateFileMappingA(ToHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr));
}

bool CloseMapping(MapHandle mapping) { return CloseOne(mapping); }

const uint8_t* MapView(MapHandle mapping, uint64_t offset, size_t bytes) {
  void* data = MapViewOfFile(ToHandle(mapping), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                             static_cast<DWORD>(offset & 0xFFFFFFFFu), bytes);
  if (data == nullptr) {
    g_last_error = GetLastError();
    return nullptr;
  }
  return static_cast<const uint8_t*>(data);
}

void UnmapView(const uint8_t* data, size_t /*bytes*/) {
  if (data != nullptr) UnmapViewOfFile(data);
}

void ReleaseViewPages(const uint8_t* data, size_t bytes) {
  // Unlocking pages that are not locked takes them out of the working set;
  // the call then answers ERROR_NOT_LOCKED, which is the expected outcome.
  if (data != nullptr) VirtualUnlock(const_cast<uint8_t*>(data), bytes);
}

uint32_t AllocationGranularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

uint32_t MappingLastError() { return g_last_error; }

uint64_t AvailableVirtualMemory() {
  MEMORYSTATUS status;
  status.dwLength = sizeof(status);
  GlobalMemoryStatus(&status);
  return status.dwAvailVirtual;
}

void ShowMemoryErrorBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

}  // namespace corvane::platform
