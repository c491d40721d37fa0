#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/r_string.h"
#include "foundation/ref_count.h"
#include "stream/bank_header.h"

namespace corvane {

class IBankLog;
class IFileBuffer;
class QFBank;

// Asked whether a bank may be used (when its header is loaded, and by the
// file-existence test); false refuses.
using BankAccessCallback = bool (*)(QFBank& bank, void* context);

// One archive bank (".vbk"): many data files under one name prefix, read
// from a single file (or a window of a larger one). The header is read only
// while the bank is locked; entries are served as file buffers that keep the
// bank alive and count as open files, so that a bank is never unloaded under
// a reader. A bank in error (open or access failure) never serves an entry.
class QFBank : public RefCount {
 public:
  QFBank() = default;
  ~QFBank() override;
  QFBank(const QFBank&) = delete;
  QFBank& operator=(const QFBank&) = delete;

  // Registration steps: records the file (a window of it when `length` is
  // not negative), opens it and reads its properties. A "prefix" property
  // sets the prefix only when `prefix` is null or empty. False when the file
  // cannot be opened or read ("Error opening bank %s", error flag set).
  bool Open(const char* file_name, const char* prefix, BankAccessCallback callback, void* context,
            int64_t offset = 0, int64_t length = -1);

  // As Open, over contents already at hand (an embedded bank, tests, fuzzing);
  // `name` stands for the file name in reports.
  bool OpenBuffer(const char* name, Ref<IFileBuffer> file, const char* prefix,
                  BankAccessCallback callback, void* context);

  const RString& GetFileName() const { return file_name_; }
  // Ends in a backslash unless empty.
  const RString& GetPrefix() const { return prefix_; }
  bool IsLoaded() const { return loaded_; }
  bool IsLocked() const { return locked_; }
  bool IsError() const { return error_; }
  int GetOpenFileCount() const { return open_files_; }

  // Lock loads the header at once; Unlock unloads the bank when nothing is
  // open from it.
  void Lock();
  void Unlock();
  // Reads the header; only a locked bank may ("Cannot open bank %s that is
  // not locked"). True when the entries can be served.
  bool Load();
  // Closes the file and forgets the header, unless files are still open.
  // Answers whether the bank was unloaded.
  bool Unload();

  // `name` is the path below the prefix (any letter case). Loads the header.
  bool EntryExists(const char* name);
  // The entry's contents, windowed to [offset, offset + length); null when
  // the bank cannot serve it (missing entry, decode failure, unknown packing).
  Ref<IFileBuffer> OpenEntry(const char* name, int64_t offset = 0, int64_t length = INT64_MAX);

  const std::vector<BankProperty>& GetProperties() const { return properties_; }
  const char* GetProperty(const char* name) const;
  int GetEntryCount() const { return static_cast<int>(header_.entries.size()); }
  // The record at `index` in header order (loaded header only), or null.
  const BankEntryRecord* GetEntryRecord(int index) const {
    return index >= 0 && index < GetEntryCount() ? &header_.entries[index] : nullptr;
  }
  // The record of an entry (loaded header only), or null.
  const BankEntryRecord* FindEntry(const char* name) const;

  // Not owned; null for none.
  void SetLog(IBankLog* log) { log_ = log; }

 private:
  friend class BankEntryBuffer;

  bool OpenFile();
  void ReadProperties(const char* prefix);
  void FindPlainFiles();
  Ref<IFileBuffer> ReadPacked(const BankEntryRecord& entry);

  RString file_name_;
  RString prefix_;
  int64_t window_offset_ = 0;
  int64_t window_length_ = -1;  // negative: the whole file
  Ref<IFileBuffer> file_;
  Ref<IFileBuffer> given_file_;  // OpenBuffer: reopened from here after an unload
  BankHeader header_;
  std::unordered_map<std::string, int> table_;
  std::vector<BankProperty> properties_;
  bool loaded_ = false;
  bool locked_ = false;
  bool error_ = false;
  int open_files_ = 0;
  BankAccessCallback callback_ = nullptr;
  void* callback_context_ = nullptr;
  IBankLog* log_ = nullptr;
};

}  // namespace corvane
