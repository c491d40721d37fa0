#include "engine/writer/pending_record.h"

#include <algorithm>

namespace corvane {

void PendingRecord::AddCopy(int32_t offset, int32_t length) {
  if (length <= 0) return;
  if (insert_length_ > 0) {
    // The search only inserts in steps, so an insert often ends with the first
    // bytes of the copy that follows it; they move back into the copy.
    int32_t steps = std::min(insert_length_, offset);
    while (steps > 0 &&
           old_.ReadByte(offset - 1) == new_.ReadByte(insert_position_ + insert_length_ - 1)) {
      --insert_length_;
      --offset;
      ++length;
      --steps;
    }
    if (insert_length_ > 0) Flush();
  }
  if (static_cast<int64_t>(offset) == static_cast<int64_t>(copy_offset_) + copy_length_) {
    copy_length_ += length;
  } else {
    Flush();
    copy_offset_ = offset;
    copy_length_ = length;
  }
}

void PendingRecord::AddInsert(int32_t position, int32_t length) {
  if (length <= 0) return;
  if (static_cast<int64_t>(position) == static_cast<int64_t>(insert_position_) + insert_length_) {
    insert_length_ += length;
    return;
  }
  if (insert_length_ > 0) Flush();
  insert_position_ = position;
  insert_length_ = length;
}

void PendingRecord::Flush() {
  if (copy_length_ <= 0 && insert_length_ <= 0) {
    Clear();
    return;
  }
  output_.WriteField(copy_length_);
  if (copy_length_ > 0) output_.WriteField(copy_offset_);
  output_.WriteField(insert_length_);
  if (insert_length_ > 0) {
    output_.WriteField(insert_position_);
    int32_t position = insert_position_;
    int32_t left = insert_length_;
    while (left > 0) {
      int32_t available = 0;
      const uint8_t* data = new_.SpanAt(position, &available);
      if (data == nullptr) {
        ok_ = false;
        break;
      }
      int32_t take = std::min(available, left);
      output_.Write(data, static_cast<size_t>(take));
      position += take;
      left -= take;
    }
  }
  Clear();
}

}  // namespace corvane
