#include "engine/mapped_file.h"

#include <algorithm>

#include "foundation/app_frame.h"

namespace corvane {

FileMemView::~FileMemView() {
  if (linked_ && owner_ != nullptr) owner_->Unlink(this);
}

MappedFile::MappedFile(const MappedFileLimits& limits) : limits_(limits) {}

MappedFile::~MappedFile() {
  DropWindows();
  Close();
}

void MappedFile::DropWindows() {
  for (Ref<FileMemView>& slot : table_) {
    if (slot.IsNull()) continue;
    platform::UnmapView(slot->data_, static_cast<size_t>(slot->length_));
    slot->data_ = nullptr;
    slot->length_ = 0;
    slot.Free();
  }
  // Windows still referenced by a caller outlive the table: cut them loose.
  while (head_ != nullptr) {
    FileMemView* view = head_;
    Unlink(view);
    view->owner_ = nullptr;
  }
  table_.Clear();
}

void MappedFile::WindowGeometry(uint32_t granularity, int32_t min_window_size, int32_t* size,
                                int* shift) {
  uint32_t window = granularity == 0 ? 4096u : granularity;
  while (window < static_cast<uint32_t>(min_window_size) && window < 0x40000000u) window <<= 1;
  int bits = 0;
  while ((window >> (bits + 1)) != 0) ++bits;  // index of the highest set bit
  *size = static_cast<int32_t>(1u << bits);
  *shift = bits;
}

void MappedFile::Open(const char* path, int32_t start, int32_t length) {
  Close();
  length_ = 0;
  file_size_ = 0;
  if (length <= 0) return;
  platform::MapHandle file = platform::OpenFileForMapping(path);
  if (file == platform::kNoMapHandle) return;
  OpenHandle(file, start, length);
}

void MappedFile::OpenHandle(platform::MapHandle file, int32_t start, int32_t length) {
  file_ = file;
  uint64_t size = 0;
  if (!platform::MappedFileSize(file, &size)) size = 0;
  file_size_ = static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX));
  // Clamped in 64 bits: a file of 2 GiB or more is seen as its first 2 GiB - 1.
  int64_t first = std::clamp<int64_t>(start, 0, file_size_);
  int64_t count = std::clamp<int64_t>(length, 0, file_size_ - first);
  start_ = static_cast<int32_t>(std::min<int64_t>(first, kWholeFile));
  length_ = static_cast<int32_t>(std::min<int64_t>(count, kWholeFile));

  mapping_ = platform::CreateReadOnlyMapping(file);

  WindowGeometry(platform::AllocationGranularity(), limits_.min_window_size, &window_size_,
                 &shift_);
  int64_t windows = (static_cast<int64_t>(window_size_) + length_ - 1) >> shift_;
  DropWindows();
  mapping_failed_ = false;
  table_.Resize(static_cast<int>(windows));

  int64_t ring = std::max<int64_t>(2, limits_.resident_bytes >> shift_);
  resident_ring_.Clear();
  resident_ring_.Resize(static_cast<int>(std::min<int64_t>(ring, 1 << 20)));
  for (int& slot : resident_ring_) slot = -1;
  resident_next_ = 0;
}

FileMemView* MappedFile::MapWindow(int index) {
  int64_t offset = static_cast<int64_t>(index) << shift_;
  int32_t bytes = static_cast<int32_t>(std::min<int64_t>(length_ - offset, window_size_));
  const uint8_t* data = nullptr;
  if (mapping_ != platform::kNoMapHandle && bytes > 0) {
    data = platform::MapView(mapping_, static_cast<uint64_t>(offset), static_cast<size_t>(bytes));
  }
  if (data == nullptr) {
    ReportLog("Memory mapping error %x", mapping_ != platform::kNoMapHandle
                                             ? static_cast<unsigned>(platform::MappingLastError())
                                             : 6u /* no mapping: an invalid handle */);
    mapping_failed_ = true;
    return nullptr;
  }
  FileMemView* view = new FileMemView(this, index, data, bytes);
  table_[index] = view;
  Link(view);
  view->resident_ = false;
  MarkResident(view);
  if (mapped_count_ > std::max<int64_t>(1, limits_.mapped_bytes_cap >> shift_)) Evict(head_);
  return view;
}

FileMemView* MappedFile::WindowAt(int32_t& position) {
  int index = position >> shift_;
  position = static_cast<int32_t>(static_cast<int64_t>(index) << shift_);
  return Touch(index);
}

FileMemView* MappedFile::Touch(int index) {
  FileMemView* view = table_[index].GetRef();
  if (view == nullptr) return MapWindow(index);
  if (!view->resident_) MarkResident(view);
  return view;
}

void MappedFile::MarkResident(FileMemView* view) {
  view->resident_ = true;
  int& slot = resident_ring_[resident_next_];
  if (slot >= 0 && slot != view->index_) {
    FileMemView* old = table_[slot].GetRef();
    if (old != nullptr && old->resident_) {
      platform::ReleaseViewPages(old->data_, static_cast<size_t>(old->length_));
      old->resident_ = false;
    }
  }
  slot = view->index_;
  resident_next_ = (resident_next_ + 1) % resident_ring_.Size();
}

void MappedFile::Link(FileMemView* view) {
  view->prev_ = tail_;
  view->next_ = nullptr;
  if (tail_ != nullptr) {
    tail_->next_ = view;
  } else {
    head_ = view;
  }
  tail_ = view;
  view->linked_ = true;
  ++mapped_count_;
}

void MappedFile::Unlink(FileMemView* view) {
  if (!view->linked_) return;
  (view->prev_ ? view->prev_->next_ : head_) = view->next_;
  (view->next_ ? view->next_->prev_ : tail_) = view->prev_;
  view->prev_ = view->next_ = nullptr;
  view->linked_ = false;
  --mapped_count_;
}

void MappedFile::Evict(FileMemView* view) {
  Unlink(view);
  platform::UnmapView(view->data_, static_cast<size_t>(view->length_));
  view->data_ = nullptr;
  view->length_ = 0;
  view->resident_ = false;
  table_[view->index_].Free();  // may delete the view
}

const uint8_t* MappedFile::WholeView() {
  if (!IsOpen() || whole_view_ != nullptr) return whole_view_;
  int64_t bytes = static_cast<int64_t>(start_) + length_;
  const uint8_t* data = platform::MapView(mapping_, 0, static_cast<size_t>(bytes));
  if (data == nullptr) {
    ReportLog("Error: %x", static_cast<unsigned>(platform::MappingLastError()));
    ReportLog("Virtal mem. free: %x", static_cast<unsigned>(platform::AvailableVirtualMemory()));
    platform::ShowMemoryErrorBox("Out of memory", "Patch error");
    return nullptr;
  }
  whole_view_ = data + start_;
  whole_view_bytes_ = bytes;
  return whole_view_;
}

int MappedFile::Close() {
  if (whole_view_ != nullptr) {
    platform::UnmapView(whole_view_ - start_, static_cast<size_t>(whole_view_bytes_));
    whole_view_ = nullptr;
    whole_view_bytes_ = 0;
  }
  if (file_ != platform::kNoMapHandle) {
    platform::CloseMappedFileHandle(file_);
    file_ = platform::kNoMapHandle;
  }
  int result = 0;
  if (mapping_ != platform::kNoMapHandle) {
    result = platform::CloseMapping(mapping_) ? 1 : 0;
    mapping_ = platform::kNoMapHandle;
  }
  return result;
}

}  // namespace corvane
