#include "stream/q_f_bank.h"

#include <algorithm>
#include <memory>

#include "foundation/app_frame.h"
#include "platform/file_system.h"
#include "stream/bank_encryption.h"
#include "stream/bank_log.h"
#include "stream/file_buffer.h"
#include "stream/lzss.h"

namespace corvane {

// A file buffer served from a bank: counts as an open file of the bank for
// as long as it lives, and keeps the bank (and so its file) alive.
class BankEntryBuffer final : public FileBufferSub {
 public:
  BankEntryBuffer(QFBank* bank, Ref<IFileBuffer> inner, int64_t offset, int64_t length)
      : FileBufferSub(std::move(inner), offset, length), bank_(bank) {
    ++bank_->open_files_;
  }
  ~BankEntryBuffer() override { --bank_->open_files_; }

 private:
  Ref<QFBank> bank_;
};

namespace {

std::string LowerName(const char* name) {
  std::string lower(name ? name : "");
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return lower;
}

RString WithBackslash(const char* prefix) {
  if (prefix == nullptr || prefix[0] == '\0') return RString();
  size_t n = std::strlen(prefix);
  if (prefix[n - 1] == '\\') return RString(prefix);
  return Concat(prefix, "\\");
}

// An LZSS block expands at most 144 bytes per 17 (eight 18-byte references
// behind one flag byte); a larger claimed size is a damaged record, refused
// before anything is allocated for it.
bool PlausibleUnpackedSize(uint32_t unpacked, uint32_t packed) {
  return static_cast<uint64_t>(unpacked) <= static_cast<uint64_t>(packed) * 9 &&
         unpacked <= static_cast<uint32_t>(INT32_MAX);
}

}  // namespace

QFBank::~QFBank() = default;

bool QFBank::Open(const char* file_name, const char* prefix, BankAccessCallback callback,
                  void* context, int64_t offset, int64_t length) {
  file_name_ = file_name;
  prefix_ = WithBackslash(prefix);
  callback_ = callback;
  callback_context_ = context;
  window_offset_ = length >= 0 ? offset : 0;
  window_length_ = length;
  if (!OpenFile()) return false;
  ReadProperties(prefix);
  return true;
}

bool QFBank::OpenBuffer(const char* name, Ref<IFileBuffer> file, const char* prefix,
                        BankAccessCallback callback, void* context) {
  file_name_ = name;
  prefix_ = WithBackslash(prefix);
  callback_ = callback;
  callback_context_ = context;
  given_file_ = std::move(file);
  if (!OpenFile()) return false;
  ReadProperties(prefix);
  return true;
}

void QFBank::ReadProperties(const char* prefix) {
  BankHeader properties;
  ReadBankHeader(*file_, properties, /*properties_only=*/true);
  properties_ = std::move(properties.properties);
  if (prefix == nullptr || prefix[0] == '\0') {
    if (const char* p = GetProperty("prefix")) prefix_ = WithBackslash(p);
  }
}

bool QFBank::OpenFile() {
  if (file_) return true;
  if (error_) return false;
  ReportLog("Load bank %s", file_name_.Data());
  Ref<IFileBuffer> loading =
      given_file_ ? given_file_ : Ref<IFileBuffer>(new FileBufferLoading(file_name_.Data()));
  if (loading->IsError()) {
    ReportError("Error opening bank %s", file_name_.Data());
    error_ = true;
    return false;
  }
  if (window_length_ >= 0) {
    file_ = Ref<IFileBuffer>(new FileBufferSub(loading, window_offset_, window_length_));
  } else {
    file_ = loading;
  }
  return true;
}

const char* QFBank::GetProperty(const char* name) const {
  for (const BankProperty& p : properties_) {
    if (p.name == name) return p.value.c_str();
  }
  return nullptr;
}

void QFBank::Lock() {
  locked_ = true;
  Load();
}

void QFBank::Unlock() {
  locked_ = false;
  if (loaded_ && open_files_ == 0) Unload();
}

bool QFBank::Load() {
  if (loaded_) return !error_;
  if (error_) return false;
  if (!locked_) {
    ReportWarning("Cannot open bank %s that is not locked", file_name_.Data());
    return false;
  }
  if (!OpenFile()) return false;

  BankHeaderStatus status = ReadBankHeader(*file_, header_, /*properties_only=*/false);
  if (status != BankHeaderStatus::kOk) {
    if (status == BankHeaderStatus::kDecipherFailed) {
      ReportError("Error opening bank %s", file_name_.Data());
    }
    header_ = BankHeader();
    error_ = true;
    return false;
  }
  properties_ = header_.properties;
  table_.clear();
  table_.reserve(header_.entries.size());
  for (int i = 0; i < static_cast<int>(header_.entries.size()); ++i) {
    // The first record of a name wins, as a lookup in record order would.
    table_.emplace(header_.entries[i].name, i);
  }
  loaded_ = true;
  if (callback_ != nullptr && !callback_(*this, callback_context_)) {
    error_ = true;
    return false;
  }
  if (header_.too_short) ReportError("Data file too short '%s'.", file_name_.Data());
  FindPlainFiles();
  return true;
}

bool QFBank::Unload() {
  if (error_ || !loaded_) return false;
  if (open_files_ > 0) {
    ReportLog("Cannot unload bank %s, %d files are still open", file_name_.Data(), open_files_);
    return false;
  }
  ReportLog("Unload bank %s", file_name_.Data());
  file_.Free();
  header_ = BankHeader();
  table_.clear();
  loaded_ = false;
  return true;
}

void QFBank::FindPlainFiles() {
  if (prefix_.IsEmpty() || header_.entries.empty()) return;
  std::vector<std::string> names;
  platform::ListFilesBelow(prefix_.Data(), &names);
  for (const std::string& relative : names) {
    auto found = table_.find(LowerName(relative.c_str()));
    if (found == table_.end()) continue;
    BankEntryRecord& entry = header_.entries[found->second];
    if (!entry.plain_file) {
      entry.plain_file = true;
      ReportLog("Plain file version of %s used", entry.name.c_str());
    }
  }
}

const BankEntryRecord* QFBank::FindEntry(const char* name) const {
  auto found = table_.find(LowerName(name));
  return found == table_.end() ? nullptr : &header_.entries[found->second];
}

bool QFBank::EntryExists(const char* name) {
  if (!Load()) return false;
  return FindEntry(name) != nullptr;
}

Ref<IFileBuffer> QFBank::ReadPacked(const BankEntryRecord& entry) {
  const bool compressed = entry.method == kBankMethodCompressed;
  // Only the bytes the file really holds are read: a cut entry decodes short
  // and fails its checksum instead of reading past the file. They also bound
  // what the entry can unpack to, whatever its record claims, before anything
  // of that size is allocated.
  uint64_t available = 0;
  const int64_t file_size = file_->GetSize();
  if (file_size > 0 && entry.data_start < static_cast<uint64_t>(file_size)) {
    available =
        std::min<uint64_t>(entry.data_size, static_cast<uint64_t>(file_size) - entry.data_start);
  }
  bool ok =
      PlausibleUnpackedSize(entry.unpacked_size, static_cast<uint32_t>(available)) || !compressed;
  Ref<FileBufferMemory> out;
  if (ok && !compressed && entry.unpacked_size > kBankMaxHeaderSize) ok = false;
  if (ok) {
    std::unique_ptr<char[]> packed(new char[available > 0 ? available : 1]);
    int64_t got = file_->Read(packed.get(), static_cast<int64_t>(entry.data_start),
                              static_cast<int64_t>(available));
    out = Ref<FileBufferMemory>(new FileBufferMemory(static_cast<int>(entry.unpacked_size)));
    if (got < 0) got = 0;
    if (compressed) {
      ok = LzssDecodeMemory(out->GetWritableData(), entry.unpacked_size, packed.get(),
                            static_cast<size_t>(got));
    } else {
      std::unique_ptr<IBankEncryption> cipher;
      if (const char* scheme = GetProperty("encryption"))
        cipher.reset(CreateBankEncryption(scheme));
      ok = cipher && cipher->Decode(out->GetWritableData(), entry.unpacked_size, packed.get(),
                                    static_cast<size_t>(got));
    }
  }
  if (!ok) {
    ReportWarning("Error decoding %s from %s", entry.name.c_str(), file_name_.Data());
    return Ref<IFileBuffer>();
  }
  return Ref<IFileBuffer>(out.GetRef());
}

Ref<IFileBuffer> QFBank::OpenEntry(const char* name, int64_t offset, int64_t length) {
  if (!Load()) return Ref<IFileBuffer>();
  if (log_ != nullptr) log_->FileOpened(file_name_.Data(), name);
  const BankEntryRecord* entry = FindEntry(name);
  if (entry == nullptr) return Ref<IFileBuffer>();
  if (offset < 0) offset = 0;
  if (length < 0) length = 0;

  if (entry->plain_file) {
    RString plain = prefix_ + entry->name.c_str();
    Ref<IFileBuffer> file(new FileBufferLoading(plain.Data()));
    if (!file->IsError()) {
      return Ref<IFileBuffer>(new BankEntryBuffer(this, file, offset, length));
    }
  }

  Ref<IFileBuffer> contents;
  int64_t start = 0;
  int64_t size = 0;
  switch (entry->method) {
    case kBankMethodStored:
      contents = file_;
      start = static_cast<int64_t>(entry->data_start);
      size = entry->data_size;
      break;
    case kBankMethodCompressed:
    case kBankMethodEnciphered:
      contents = ReadPacked(*entry);
      if (!contents) return contents;
      size = contents->GetSize();
      break;
    default:
      CORVANE_REPORT_INTERNAL("Unknown compression manager");
      return Ref<IFileBuffer>();
  }
  // The window [offset, offset + length) of the entry, kept inside it.
  int64_t skip = std::min(offset, size);
  int64_t window = std::min(length, size - skip);
  return Ref<IFileBuffer>(new BankEntryBuffer(this, contents, start + skip, window));
}

}  // namespace corvane
