#pragma once

#include <cstdint>
#include <string>

#include "engine/writer/pending_record.h"
#include "engine/writer/update_writer.h"

namespace corvane {

// Writes the update file that turns an old file into a new one, like
// CreatePatch, but copies from wherever the new bytes lie in the old file and
// chooses its runs by what they cost in the update (cheapest_parse.h), so
// that moved and reordered content is copied rather than carried. Its bytes
// differ from CreatePatch's; ApplyPatch reads both alike.
class CreateCompactPatch final : public UpdateWriter {
 public:
  // New-file positions matched and parsed at a time; the memory of a write
  // grows with it (about 25 bytes a position).
  static constexpr int32_t kStretchLength = 1 << 20;

  // Both files are read through whole views (MappedFile's default limits).
  // Identical files give the unchanged shape; a write also fails when memory
  // runs out (UpdateWriter::Process says the rest).
  explicit CreateCompactPatch(PatchMessages messages = PatchMessages::Standard())
      : UpdateWriter(std::move(messages)) {}
  // A shorter stretch, for tests that cross its boundaries with small files.
  explicit CreateCompactPatch(int32_t stretch_length,
                              PatchMessages messages = PatchMessages::Standard())
      : UpdateWriter(std::move(messages)), stretch_length_(stretch_length) {}
  ~CreateCompactPatch() override = default;

 private:
  PatchResult Write(const char* old_path, const char* new_path, const char* update_path) override;
  bool WriteRuns(const uint8_t* old_bytes, int32_t old_length, const uint8_t* new_bytes,
                 int32_t new_length, const std::string& progress_name, PendingRecord& record);

  int32_t stretch_length_ = kStretchLength;
};

// Factory; null when memory runs out.
std::unique_ptr<IPatchAction> NewCreateCompactPatch(
    PatchMessages messages = PatchMessages::Standard());

}  // namespace corvane
