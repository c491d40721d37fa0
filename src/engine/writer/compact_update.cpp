#include "engine/writer/compact_update.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "engine/byte_sum.h"
#include "engine/update_format.h"
#include "engine/update_path.h"
#include "engine/writer/cheapest_parse.h"
#include "engine/writer/longest_matches.h"
#include "engine/writer/old_file_index.h"
#include "engine/writer/pending_record.h"
#include "foundation/app_frame.h"
#include "platform/file_mapping.h"
#include "platform/file_system.h"

namespace corvane {

namespace {

void ReportMissingNewFile(const char* new_path) {
  ReportError("File %s: cannot be read", new_path);
}

}  // namespace

PatchResult CreateCompactPatch::Write(const char* old_path, const char* new_path,
                                      const char* update_path) {
  auto started = std::chrono::steady_clock::now();
  const std::string progress_name = FileNamePart(old_path);

  if (!Open(old_path, new_path, update_path, &ReportMissingNewFile)) return kPatchFailed;

  const bool old_open = old_.IsOpen();
  const int32_t new_length = new_.IsOpen() ? new_.Length() : 0;
  const int32_t old_length = old_open ? old_.Length() : 0;
  // Both files are mapped whole, next to the index. A 32-bit process may lack
  // the address space for large ones; it says so rather than fail mapping.
  if constexpr (sizeof(void*) < 8) {
    const uint64_t needed = static_cast<uint64_t>(new_length) +
                            2u * static_cast<uint64_t>(old_length) + (uint64_t{64} << 20);
    const uint64_t available = platform::AvailableVirtualMemory();
    if (available != 0 && available < needed) {
      ReportError("File %s: not enough address space to compare it whole", new_path);
      return kPatchFailed;
    }
  }
  const uint8_t* new_bytes = new_length > 0 ? new_.WholeView() : nullptr;
  const uint8_t* old_bytes = old_length > 0 ? old_.WholeView() : nullptr;
  if ((new_length > 0 && new_bytes == nullptr) || (old_length > 0 && old_bytes == nullptr)) {
    return kPatchFailed;
  }

  output_.WriteByte(old_open ? update_format::kKindDifference : update_format::kKindNoOldFile);
  output_.WriteField(new_length);
  output_.WriteField(old_length);

  PendingRecord record(old_, new_, output_);
  record.Clear();
  const uint32_t checksum = AddByteSum(0, new_bytes, static_cast<size_t>(new_length));
  if (new_length > 0) {
    if (old_length == new_length && std::memcmp(old_bytes, new_bytes, new_length) == 0) {
      record.AddCopy(0, new_length);  // the unchanged shape
    } else {
      if (!WriteRuns(old_bytes, old_length, new_bytes, new_length, progress_name, record)) {
        return kPatchFailed;
      }
    }
  }
  return Finish(record, checksum, update_path, started);
}

bool CreateCompactPatch::WriteRuns(const uint8_t* old_bytes, int32_t old_length,
                                   const uint8_t* new_bytes, int32_t new_length,
                                   const std::string& progress_name, PendingRecord& record) {
  OldFileIndex index;
  if (old_length > 0 &&
      !index.Build(old_bytes, old_length, OldFileIndex::ShapeFor(old_length, new_length))) {
    ReportError("Out of memory for the index of %s", progress_name.c_str());
    return false;
  }
  const int32_t stretch = std::max(1, std::min(stretch_length_, new_length));
  LongestMatches matches(old_bytes, old_length, new_bytes, new_length, index,
                         MatchEffort::For(old_length, new_length));
  CheapestParse parse;
  if (!matches.Reserve(stretch) || !parse.Reserve(stretch)) {
    ReportError("Out of memory for the update of %s", progress_name.c_str());
    return false;
  }
  auto progress = [&](int64_t position) {
    progress_.Show(progress_name.c_str(), new_length - position);
  };
  ParseState state = ParseState::kStart;
  for (int32_t start = 0; start < new_length;) {
    const int32_t length = std::min(stretch, new_length - start);
    const StretchMatches found = matches.Find(start, length, progress);
    int32_t position = start;
    for (const ParseRun& run : parse.Choose(start, length, found, &state)) {
      if (run.offset >= 0) {
        record.AddCopy(run.offset, run.length);
      } else {
        record.AddInsert(position, run.length);
      }
      position += run.length;
    }
    if (position != start + length) return false;
    start += length;
  }
  return true;
}

std::unique_ptr<IPatchAction> NewCreateCompactPatch(PatchMessages messages) {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) CreateCompactPatch(std::move(messages)));
}

}  // namespace corvane
