#include "engine/writer/whole_insert_update.h"

#include <memory>

#include "engine/byte_sum.h"
#include "engine/mapped_file.h"
#include "engine/output_file.h"
#include "engine/update_format.h"
#include "platform/file_io.h"
#include "platform/file_system.h"

namespace corvane {

namespace {

bool WriteInto(platform::FileHandle in, uint64_t size, uint32_t old_size, OutputFile& out) {
  out.WriteByte(update_format::kKindDifference);
  out.WriteField(static_cast<int32_t>(size));
  out.WriteField(static_cast<int32_t>(old_size));
  out.WriteField(0);                           // copy length: no copy run
  out.WriteField(static_cast<int32_t>(size));  // insert length
  out.WriteField(0);                           // where the insert lands
  constexpr uint32_t kBlock = 1 << 20;
  std::unique_ptr<uint8_t[]> block(new uint8_t[kBlock]);
  uint32_t checksum = 0;
  uint64_t done = 0;
  while (done < size) {
    const uint32_t want = static_cast<uint32_t>(size - done < kBlock ? size - done : kBlock);
    const int64_t got = platform::FileReadAt(in, done, block.get(), want);
    if (got <= 0) return false;
    checksum = AddByteSum(checksum, block.get(), static_cast<size_t>(got));
    out.Write(block.get(), static_cast<size_t>(got));
    done += static_cast<uint64_t>(got);
  }
  // The file must end where its size said: a file that grew meanwhile would
  // not match the size written into the header.
  uint8_t beyond = 0;
  if (platform::FileReadAt(in, size, &beyond, 1) != 0) return false;
  out.WriteField(static_cast<int32_t>(checksum));
  return !out.Failed();
}

}  // namespace

bool WriteWholeInsertUpdate(const char* new_path, uint32_t old_size, const char* update_path) {
  platform::ScopedFile in(platform::FileOpenRead(new_path));
  uint64_t size = 0;
  if (!in.IsValid() || !platform::FileSize64(in.Get(), &size) ||
      size > static_cast<uint64_t>(MappedFile::kWholeFile)) {
    return false;
  }
  OutputFile out;
  out.SetDurable(true);
  if (!out.Create(update_path)) return false;
  const bool written = WriteInto(in.Get(), size, old_size, out);
  if (!out.Close() || !written) {
    platform::RemoveFile(update_path);
    return false;
  }
  return true;
}

}  // namespace corvane
