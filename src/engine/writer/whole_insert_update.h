#pragma once

#include <cstdint>

namespace corvane {

// The update that carries the whole new file as its one insert run: kind 1,
// one record (no copy, an insert of the new file from position 0), the
// checksum. It is new size + kWholeInsertOverhead bytes, the most any update
// of a file from an existing old file needs, so a writer ships it where a
// search found too little to copy. Every applier takes it as an ordinary
// update of an old file of `old_size` bytes.
inline constexpr uint32_t kWholeInsertOverhead = 25;

// Writes it to `update_path` (a work file: created exclusively, never through
// a link). False when the new file cannot be read whole, is 2 GiB or more,
// or the update cannot be written; a failed update is removed.
bool WriteWholeInsertUpdate(const char* new_path, uint32_t old_size, const char* update_path);

}  // namespace corvane
