#include "engine/apply_patch.h"

#include <algorithm>
#include <cinttypes>
#include <new>
#include <string>

#include "engine/byte_sum.h"
#include "engine/output_file.h"
#include "engine/update_format.h"
#include "engine/update_path.h"
#include "platform/file_system.h"

namespace corvane {

namespace {

using update_format::kFieldSize;

// Reads the fields of an update file at a cursor. All arithmetic on positions
// is 64-bit, so no field value can move the cursor outside the file.
class UpdateCursor {
 public:
  explicit UpdateCursor(MappedFile& file) : file_(file), length_(file.Length()) {}

  int64_t Position() const { return position_; }
  int64_t Remaining() const { return length_ - position_; }
  void Skip(int64_t bytes) { position_ += bytes; }

  // A field at `position` (which must have 4 bytes left), not moving the cursor.
  int32_t PeekAt(int64_t position) {
    uint8_t bytes[kFieldSize];
    for (int i = 0; i < kFieldSize; ++i) {
      bytes[i] = file_.ReadByte(static_cast<int32_t>(position + i));
    }
    return update_format::LoadField(bytes);
  }

  // Reads a field; false (cursor unchanged) when fewer than 4 bytes remain.
  bool Read(int32_t* value) {
    if (Remaining() < kFieldSize) return false;
    *value = PeekAt(position_);
    position_ += kFieldSize;
    return true;
  }

  // A header or checksum field: one cut off by the end of the file reads as 0.
  int32_t ReadOrZero() {
    int32_t value = 0;
    return Read(&value) ? value : 0;
  }

 private:
  MappedFile& file_;
  int64_t length_;
  int64_t position_ = 0;
};

// The new file as it is produced: every byte counts towards the checksum and
// `produced`, but nothing beyond the declared new size reaches the file.
struct NewFileSink {
  OutputFile output;
  const ApplyPatch::Consumer* consume = nullptr;  // instead of `output` when set
  int64_t new_size = 0;
  int64_t written = 0;
  int64_t produced = 0;
  uint32_t sum = 0;
  const std::function<void()>* progress = nullptr;

  void Take(const uint8_t* data, int32_t size) {
    sum = AddByteSum(sum, data, static_cast<size_t>(size));
    int64_t room = std::max<int64_t>(0, new_size - written);
    int64_t take = std::min<int64_t>(room, size);
    if (take > 0) {
      if (consume != nullptr) {
        (*consume)(data, static_cast<size_t>(take));
      } else {
        output.Write(data, static_cast<size_t>(take));
      }
      written += take;
    }
  }
};

// Streams `length` bytes of `file` from `position` into `sink`; false when a
// window cannot be mapped. The range must lie inside the file.
bool CopyRange(MappedFile& file, int64_t position, int64_t length, NewFileSink& sink) {
  while (length > 0) {
    int32_t available = 0;
    const uint8_t* data = file.SpanAt(static_cast<int32_t>(position), &available);
    if (data == nullptr) return false;
    int32_t take = static_cast<int32_t>(std::min<int64_t>(available, length));
    sink.Take(data, take);
    position += take;
    length -= take;
    // The end of a window: a large file gives one call per window, small
    // records inside one window none.
    if (take == available && sink.progress != nullptr && *sink.progress) (*sink.progress)();
  }
  return true;
}

// Runs the records until `produced` reaches the new size. False when the
// update is exhausted, a record reaches outside the old or the update file,
// or a window cannot be mapped.
bool RunRecords(UpdateCursor& cursor, MappedFile& update, MappedFile& old, int64_t old_length,
                NewFileSink& sink) {
  while (sink.produced < sink.new_size) {
    if (cursor.Remaining() <= 0) return false;
    int32_t copy_length = 0;
    if (!cursor.Read(&copy_length)) return false;
    if (copy_length > 0) {
      int32_t copy_offset = 0;
      if (!cursor.Read(&copy_offset)) return false;
      if (copy_offset < 0 || static_cast<int64_t>(copy_offset) + copy_length > old_length) {
        return false;
      }
      sink.produced += copy_length;
      if (!CopyRange(old, copy_offset, copy_length, sink)) return false;
    }
    int32_t insert_length = 0;
    if (!cursor.Read(&insert_length)) return false;
    if (insert_length > 0) {
      int32_t insert_position = 0;  // where the bytes land; the applier needs no check of it
      if (!cursor.Read(&insert_position)) return false;
      if (cursor.Remaining() < insert_length) return false;
      sink.produced += insert_length;
      if (!CopyRange(update, cursor.Position(), insert_length, sink)) return false;
      cursor.Skip(insert_length);
    }
  }
  return true;
}

void Fail(const char* output_path, bool remove_on_failure, NewFileSink& sink) {
  sink.output.Close();
  if (remove_on_failure && sink.consume == nullptr) platform::RemoveFile(output_path);
}

}  // namespace

PatchResult ApplyPatch::Process(const char* output_path, const char* update_path,
                                const char* old_path, bool remove_on_failure) {
  output_fault_ = platform::FileFault::kNone;
  old_.Open(old_path, 0, MappedFile::kWholeFile);
  update_.Open(update_path, 0, MappedFile::kWholeFile);

  uint8_t kind = update_.IsOpen() ? update_.ReadByte(0) : 0;
  if (!update_.IsOpen() || update_.MappingFailed()) {
    messages_.PrintAndLog("Cannot read %s\n", update_path);
    return kPatchFailed;
  }
  UpdateCursor cursor(update_);
  cursor.Skip(update_format::kKindSize);

  switch (kind) {
    case update_format::kKindDelete:
      if (!consume_) platform::RemoveFile(output_path);
      return kPatchNothingToDo;
    case update_format::kKindDifference:
      if (!old_.IsOpen()) {
        messages_.Print("Warning: Cannot read %s\n", old_path);
        messages_.Log("Cannot read %s\n", old_path);
      }
      break;
    case update_format::kKindNoOldFile:
      break;
    default:
      return kPatchFailed;
  }

  int32_t new_size = cursor.ReadOrZero();
  int32_t old_size = cursor.ReadOrZero();

  // The whole file size, not a clamped one: a file of 2 GiB or more never passes.
  int64_t old_length = old_.IsOpen() ? old_.FileSize() : 0;
  if (old_size != old_length) {
    messages_.Print("Incompatible patch version.\n");
    messages_.Log("File %s: bad size: %" PRId64 " (old=%d, new=%d)\n", old_path, old_length,
                  old_size, new_size);
    return kPatchFailed;
  }

  // The unchanged shape is recognised from its header and record alone; its
  // checksum is not examined and the old file is not read.
  if (new_size == old_size &&
      cursor.Remaining() == update_format::kUnchangedSize - update_format::kHeaderSize) {
    int64_t at = cursor.Position();
    if (cursor.PeekAt(at) == old_size && cursor.PeekAt(at + kFieldSize) == 0 &&
        cursor.PeekAt(at + 2 * kFieldSize) == 0 && !update_.MappingFailed()) {
      return kPatchNothingToDo;
    }
  }

  NewFileSink sink;
  sink.new_size = new_size;
  sink.progress = &progress_;
  if (consume_) sink.consume = &consume_;
  sink.output.SetDurable(durable_output_);
  if (sink.consume == nullptr && !sink.output.Create(output_path)) {
    output_fault_ = sink.output.CreateFault();
    messages_.PrintAndLog("Cannot write %s\n", output_path);
    return kPatchFailed;
  }

  bool complete = RunRecords(cursor, update_, old_, old_length, sink);
  if (complete && update_.MappingFailed()) complete = false;
  if (!complete) {
    Fail(output_path, remove_on_failure, sink);
    return kPatchFailed;
  }
  if (!sink.output.Close()) {
    // A short write (full disk) must not pass for a verified file.
    messages_.PrintAndLog("Cannot write %s\n", output_path);
    Fail(output_path, remove_on_failure, sink);
    return kPatchFailed;
  }

  int32_t checksum = cursor.ReadOrZero();
  int32_t sum = static_cast<int32_t>(sink.sum);
  if (sum != checksum) {
    messages_.Print("Incompatible patch version.\n");
    messages_.Log("File %s: bad checksum: %d (expected=%d)\n", output_path, sum, checksum);
    Fail(output_path, remove_on_failure, sink);
    return kPatchFailed;
  }
  if (sink.produced != new_size) {
    messages_.Print("Incompatible patch version.\n");
    messages_.Log("File %s: bad size: %" PRId64 " (expected=%d)\n", output_path, sink.produced,
                  new_size);
    Fail(output_path, remove_on_failure, sink);
    return kPatchFailed;
  }
  Close();
  return kPatchDone;
}

PatchResult ApplyPatch::ProcessFile(const char* new_directory, const char* update_directory,
                                    const char* old_directory, const char* name) {
  std::string file = name;
  if (!IsUpdateFileName(file)) return kPatchNothingToDo;
  std::string target = CutExtension(file);
  std::string output_path = std::string(new_directory) + target;
  std::string update_path = std::string(update_directory) + file;
  std::string old_path = std::string(old_directory) + target;
  if (output_path.size() > kMaxEnginePath || update_path.size() > kMaxEnginePath ||
      old_path.size() > kMaxEnginePath) {
    return kPatchFailed;
  }
  return Process(output_path.c_str(), update_path.c_str(), old_path.c_str(), true);
}

void ApplyPatch::Close() {
  update_.Close();
  old_.Close();
}

std::unique_ptr<IPatchAction> NewApplyPatch(PatchMessages messages) {
  return std::unique_ptr<IPatchAction>(new (std::nothrow) ApplyPatch(std::move(messages)));
}

}  // namespace corvane
