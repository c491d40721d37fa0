#pragma once

#include <cstdint>

#include "stream/q_f_bank.h"

namespace corvane {

// The process-wide list of registered archive banks. Once a bank is
// registered, QIFStreamB and BankFileExists look for the bank with the
// longest prefix that starts a path and read the entry from it; every other
// path is a plain file. Not thread-safe (the system has one thread).

// Registers the bank in `file_name`. `prefix` (a backslash is appended when
// missing) may be null: the bank's "prefix" property then names it. A file
// that does not exist reports "Cannot open file '%s'" and registers nothing
// (null). A file that exists but cannot be opened is registered in error.
QFBank* RegisterBank(const char* file_name, const char* prefix = nullptr,
                     BankAccessCallback callback = nullptr, void* context = nullptr);
// The same for a bank stored at [offset, offset + length) of a larger file.
QFBank* RegisterBankWindow(const char* file_name, int64_t offset, int64_t length,
                           const char* prefix = nullptr, BankAccessCallback callback = nullptr,
                           void* context = nullptr);
// A bank whose contents are already at hand (embedded banks, tests); `name`
// stands for its file name in reports.
QFBank* RegisterBankBuffer(const char* name, Ref<IFileBuffer> file, const char* prefix = nullptr,
                           BankAccessCallback callback = nullptr, void* context = nullptr);
// `base_name` with ".vbk" appended.
QFBank* RegisterBankBase(const char* base_name, const char* prefix = nullptr,
                         BankAccessCallback callback = nullptr, void* context = nullptr);
// Forgets every bank (streams still open from one keep it alive).
void UnregisterAllBanks();
int GetBankCount();
QFBank* GetBank(int index);

// By exact prefix (as GetPrefix answers it). Not found logs
// "Lock: Bank %s not found" / "Unlock: Bank %s not found" and answers false.
bool LockBank(const char* prefix);
bool UnlockBank(const char* prefix);

// Unloads the first loaded unlocked bank ("Unloading bank %s"), else the
// first loaded locked one ("Unloading locked bank %s"); answers whether one
// was unloaded.
bool FreeBankMemory();

// The bank serving `path`: none for the empty path or a drive path ("c:...");
// otherwise the bank with the longest prefix that starts the path, compared
// without regard to ASCII case.
QFBank* FindBankForPath(const char* path);

// Whether `path` can be read: from the bank serving it (unless `checker`
// refuses that bank: "FileExist %s: access denied" is logged when the entry
// is not there either, and the answer is false), else as a plain file.
bool BankFileExists(const char* path, BankAccessCallback checker = nullptr,
                    void* context = nullptr);

}  // namespace corvane
