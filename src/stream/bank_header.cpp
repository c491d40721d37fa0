#include "stream/bank_header.h"

#include <cstring>
#include <memory>

#include "foundation/app_frame.h"
#include "stream/bank_encryption.h"
#include "stream/file_buffer.h"

namespace corvane {
namespace {

// Sequential reader over a file buffer in chunks, so that names are not read
// one system call per byte.
class BankByteReader {
 public:
  explicit BankByteReader(IFileBuffer& file) : file_(file), size_(file.GetSize()) {}

  uint64_t Position() const { return pos_; }
  uint64_t Remaining() const { return pos_ < static_cast<uint64_t>(size_) ? size_ - pos_ : 0; }

  int Get() {
    if (chunk_pos_ >= chunk_len_ && !Fill()) return -1;
    ++pos_;
    return static_cast<unsigned char>(chunk_[chunk_pos_++]);
  }

  // A zero-terminated text; false when the data ends before the terminator
  // (what was read is kept). Bytes beyond `max_length` are consumed, not kept.
  bool ReadString(std::string& out, size_t max_length) {
    out.clear();
    for (;;) {
      int c = Get();
      if (c < 0) return false;
      if (c == 0) return true;
      if (out.size() < max_length) out.push_back(static_cast<char>(c));
    }
  }

  bool ReadU32(uint32_t& value) {
    unsigned char bytes[4];
    for (unsigned char& b : bytes) {
      int c = Get();
      if (c < 0) return false;
      b = static_cast<unsigned char>(c);
    }
    value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return true;
  }

  // Copies `count` bytes; false (nothing promised about `dst`) when fewer remain.
  bool ReadBytes(void* dst, uint64_t count) {
    char* out = static_cast<char*>(dst);
    while (count > 0) {
      if (chunk_pos_ >= chunk_len_ && !Fill()) return false;
      uint64_t n = std::min<uint64_t>(count, chunk_len_ - chunk_pos_);
      std::memcpy(out, chunk_ + chunk_pos_, n);
      chunk_pos_ += static_cast<size_t>(n);
      pos_ += n;
      out += n;
      count -= n;
    }
    return true;
  }

 private:
  bool Fill() {
    if (pos_ >= static_cast<uint64_t>(size_)) return false;
    int64_t got = file_.Read(chunk_, static_cast<int64_t>(pos_), sizeof(chunk_));
    if (got <= 0) return false;
    chunk_len_ = static_cast<size_t>(got);
    chunk_pos_ = 0;
    return true;
  }

  IFileBuffer& file_;
  int64_t size_;
  uint64_t pos_ = 0;
  char chunk_[4096];
  size_t chunk_len_ = 0;
  size_t chunk_pos_ = 0;
};

void LowerAscii(std::string& text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
}

// One entry record; false when the header ends (empty name, or the data ends).
bool ReadRecord(BankByteReader& in, BankEntryRecord& record) {
  bool terminated = in.ReadString(record.name, kBankMaxNameLength);
  if (!terminated) return false;
  if (record.name.empty()) {
    // The terminating record still has its fields; the data starts after them.
    uint32_t ignored;
    for (int i = 0; i < 5 && in.ReadU32(ignored); ++i) {
    }
    return false;
  }
  LowerAscii(record.name);
  return in.ReadU32(record.method) && in.ReadU32(record.unpacked_size) &&
         in.ReadU32(record.reserved) && in.ReadU32(record.time_stamp) &&
         in.ReadU32(record.data_size);
}

void ReadRecords(BankByteReader& in, BankHeader& header) {
  BankEntryRecord record;
  while (ReadRecord(in, record)) header.entries.push_back(record);
}

}  // namespace

const char* BankHeader::FindProperty(const char* name) const {
  for (const BankProperty& p : properties) {
    if (p.name == name) return p.value.c_str();
  }
  return nullptr;
}

BankHeaderStatus ReadBankHeader(IFileBuffer& file, BankHeader& header, bool properties_only) {
  header = BankHeader();
  BankByteReader in(file);

  // The first record decides whether a property list follows; an ordinary
  // first record is kept as the first entry.
  BankEntryRecord first;
  bool terminated = in.ReadString(first.name, kBankMaxNameLength);
  bool has_entries = terminated;
  if (terminated && first.name.empty()) {
    uint32_t method = 0, unpacked = 0, reserved = 0, stamp = 0, data_size = 0;
    bool whole = in.ReadU32(method) && in.ReadU32(unpacked) && in.ReadU32(reserved) &&
                 in.ReadU32(stamp) && in.ReadU32(data_size);
    has_entries = false;
    if (whole && method == kBankMethodProperties && stamp == 0 && data_size == 0) {
      BankProperty property;
      while (in.ReadString(property.name, kBankMaxNameLength) && !property.name.empty()) {
        if (!in.ReadString(property.value, kBankMaxNameLength)) break;
        header.properties.push_back(property);
      }
      has_entries = true;
    }
  } else if (terminated) {
    LowerAscii(first.name);
    if (in.ReadU32(first.method) && in.ReadU32(first.unpacked_size) && in.ReadU32(first.reserved) &&
        in.ReadU32(first.time_stamp) && in.ReadU32(first.data_size)) {
      header.entries.push_back(first);
    } else {
      has_entries = false;
    }
  }
  if (properties_only) {
    header.entries.clear();
    return BankHeaderStatus::kOk;
  }

  if (const char* scheme = header.FindProperty("encryption"); scheme != nullptr && has_entries) {
    header.encryption = scheme;
    uint32_t deciphered = 0, enciphered = 0;
    if (!in.ReadU32(deciphered) || !in.ReadU32(enciphered) || enciphered > in.Remaining() ||
        deciphered > kBankMaxHeaderSize) {
      return BankHeaderStatus::kDecipherFailed;
    }
    std::unique_ptr<IBankEncryption> cipher(CreateBankEncryption(scheme));
    if (!cipher) {
      ReportError("Unknown encryption %s", scheme);
      return BankHeaderStatus::kUnknownEncryption;
    }
    std::unique_ptr<char[]> src(new char[enciphered > 0 ? enciphered : 1]);
    if (!in.ReadBytes(src.get(), enciphered)) return BankHeaderStatus::kDecipherFailed;
    Ref<FileBufferMemory> plain(new FileBufferMemory(static_cast<int>(deciphered)));
    if (!cipher->Decode(plain->GetWritableData(), deciphered, src.get(), enciphered)) {
      return BankHeaderStatus::kDecipherFailed;
    }
    BankByteReader records(*plain);
    ReadRecords(records, header);
  } else if (has_entries) {
    ReadRecords(in, header);
  }
  header.header_end = in.Position();

  // Entry data follows the header in record order. Positions are summed in
  // 64 bits so that hostile sizes cannot wrap around into the header.
  uint64_t position = header.header_end;
  for (BankEntryRecord& entry : header.entries) {
    entry.data_start = position;
    position += entry.data_size;
  }
  header.too_short = position > static_cast<uint64_t>(file.GetSize());
  return BankHeaderStatus::kOk;
}

}  // namespace corvane
