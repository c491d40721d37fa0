#pragma once

#include <cstdint>

#include "engine/mapped_file.h"
#include "engine/output_file.h"

namespace corvane {

// The record an update writer holds back so that neighbouring runs merge: one
// copy run followed by one insert run (docs/formats/update-file.md). Runs are
// added in new-file order; Flush writes the record and clears it.
class PendingRecord {
 public:
  // `old_file` and `new_file` must stay open while runs are added; the inline
  // bytes of insert runs are taken from `new_file` when the record is written.
  PendingRecord(MappedFile& old_file, MappedFile& new_file, OutputFile& output)
      : old_(old_file), new_(new_file), output_(output) {}

  // Adds a copy of `length` old bytes from `offset` (nothing for length <= 0).
  // A pending insert whose last bytes equal the old bytes just before `offset`
  // gives them to the copy, which then starts earlier; what is left of the
  // insert is written first. A copy that continues the pending copy lengthens it.
  void AddCopy(int32_t offset, int32_t length);
  // Adds an insert of `length` new bytes from `position` (nothing for length <=
  // 0); an insert that continues the pending insert lengthens it.
  void AddInsert(int32_t position, int32_t length);
  // Writes the pending record, if it has a run, and clears it.
  void Flush();
  void Clear() { copy_offset_ = copy_length_ = insert_position_ = insert_length_ = 0; }

  // False when a window of the new file could not be mapped while writing.
  bool ok() const { return ok_; }

 private:
  MappedFile& old_;
  MappedFile& new_;
  OutputFile& output_;
  int32_t copy_offset_ = 0;
  int32_t copy_length_ = 0;
  int32_t insert_position_ = 0;
  int32_t insert_length_ = 0;
  bool ok_ = true;
};

}  // namespace corvane
