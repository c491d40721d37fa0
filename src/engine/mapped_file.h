#pragma once

#include <cstdint>

#include "foundation/auto_array.h"
#include "foundation/ref_count.h"
#include "platform/file_mapping.h"

namespace corvane {

class MappedFile;

// One mapped window of a MappedFile. The owner's table holds one reference;
// a caller may hold more, but the bytes stay readable only while the owner
// keeps the window mapped (until it is evicted or the owner is destroyed; an
// unmapped window has no data and length 0).
class FileMemView final : public RefCount {
 public:
  ~FileMemView() override;  // unlinks from the owner's mapped list; never unmaps

  int Index() const { return index_; }
  const uint8_t* Data() const { return data_; }
  int32_t Length() const { return length_; }

 private:
  friend class MappedFile;
  FileMemView(MappedFile* owner, int index, const uint8_t* data, int32_t length)
      : owner_(owner), index_(index), data_(data), length_(length) {}

  MappedFile* owner_;
  FileMemView* prev_ = nullptr;
  FileMemView* next_ = nullptr;
  bool linked_ = false;
  bool resident_ = true;  // pages possibly in the resident set (see MappedFile)
  int index_;
  const uint8_t* data_;
  int32_t length_;
};

// Limits of a MappedFile. The defaults are the product's; tests shrink them to
// reach window boundaries and eviction with small files.
struct MappedFileLimits {
  // Windows are the allocation granularity doubled until at least this size.
  int32_t min_window_size = 0x40000;
  // More than (mapped_bytes_cap >> window shift) mapped windows evict the one
  // mapped first.
  int64_t mapped_bytes_cap = 0x32000000;
  // Bytes of windows read recently whose pages may stay resident; older ones
  // are handed back to the system (they stay mapped and readable). This keeps
  // the memory of a run independent of the file sizes.
  int64_t resident_bytes = 16 << 20;
};

// Read-only random access to one file through fixed-size windows that are
// mapped on first use. A file that is missing, unreadable or empty is not
// open; nothing is reported for it. Positions handed to ReadByte, WindowAt and
// SpanAt must lie in [0, Length()); no check is made there.
//
// Files of 2 GiB and more are clamped to 0x7FFFFFFF bytes (FileSize() tells
// the full size). Windows assume a range starting at 0; only WholeView honours
// another start.
class MappedFile {
 public:
  static constexpr int32_t kWholeFile = 0x7FFFFFFF;

  MappedFile() : MappedFile(MappedFileLimits()) {}
  explicit MappedFile(const MappedFileLimits& limits);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Closes what is held, then opens `path` read-only over [start, start + length).
  void Open(const char* path, int32_t start = 0, int32_t length = kWholeFile);
  // Takes ownership of an open file handle.
  void OpenHandle(platform::MapHandle file, int32_t start, int32_t length);

  bool IsOpen() const { return mapping_ != platform::kNoMapHandle; }
  int32_t Length() const { return length_; }
  // Size of the file on disk, 64-bit; 0 when no file is held.
  int64_t FileSize() const { return file_size_; }

  // The byte at `position`. When its window cannot be mapped, answers 0 and
  // raises MappingFailed().
  uint8_t ReadByte(int32_t position) {
    int index = position >> shift_;
    FileMemView* view = table_[index].GetRef();
    if (view == nullptr && (view = MapWindow(index)) == nullptr) return 0;
    return view->data_[position & (window_size_ - 1)];
  }

  // Maps the window holding `position` if needed, rounds `position` down to the
  // window's first position and answers the window; nullptr when it cannot be
  // mapped (MappingFailed() is then raised).
  FileMemView* WindowAt(int32_t& position);

  // The bytes from `position` to the end of its window: answers their address
  // and sets `available` to their count. nullptr when the window cannot be
  // mapped. The address stays valid until the next call on this object.
  const uint8_t* SpanAt(int32_t position, int32_t* available) {
    int index = position >> shift_;
    FileMemView* view = table_[index].GetRef();
    if (view == nullptr || !view->resident_) {
      view = Touch(index);
      if (view == nullptr) return nullptr;
    }
    int32_t offset = position & (window_size_ - 1);
    *available = view->length_ - offset;
    return view->data_ + offset;
  }

  // Maps the whole range as one view and answers its address; nullptr when not
  // open or when it cannot be mapped (reported, and shown to the user).
  const uint8_t* WholeView();

  // Unmaps the whole view, closes the file and mapping handles; answers 1 when
  // a mapping handle was closed, 0 otherwise. Windows stay mapped until
  // destruction but no new window can be mapped.
  int Close();

  // True once some window could not be mapped; reads that needed it were not served.
  bool MappingFailed() const { return mapping_failed_; }

  int32_t WindowSize() const { return window_size_; }
  int WindowShift() const { return shift_; }
  int WindowCount() const { return table_.Size(); }
  int MappedCount() const { return mapped_count_; }
  bool IsWindowMapped(int index) const { return table_[index].NotNull(); }

  // Window size and shift for a granularity: the granularity doubled until it
  // is at least `min_window_size`.
  static void WindowGeometry(uint32_t granularity, int32_t min_window_size, int32_t* size,
                             int* shift);

 private:
  friend class FileMemView;

  void DropWindows();
  FileMemView* MapWindow(int index);
  FileMemView* Touch(int index);
  void MarkResident(FileMemView* view);
  void Link(FileMemView* view);
  void Unlink(FileMemView* view);
  void Evict(FileMemView* view);

  MappedFileLimits limits_;
  platform::MapHandle file_ = platform::kNoMapHandle;
  platform::MapHandle mapping_ = platform::kNoMapHandle;
  const uint8_t* whole_view_ = nullptr;
  int64_t whole_view_bytes_ = 0;
  int64_t file_size_ = 0;
  int32_t start_ = 0;
  int32_t length_ = 0;
  int32_t window_size_ = 0x40000;
  int shift_ = 18;
  AutoArray<Ref<FileMemView>> table_;
  FileMemView* head_ = nullptr;
  FileMemView* tail_ = nullptr;
  int mapped_count_ = 0;
  // Ring of window indexes whose pages may be resident, oldest first.
  AutoArray<int> resident_ring_;
  int resident_next_ = 0;
  bool mapping_failed_ = false;
};

}  // namespace corvane
