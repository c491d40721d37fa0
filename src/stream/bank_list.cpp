#include "stream/bank_list.h"

#include <cstring>
#include <vector>

#include "foundation/app_frame.h"
#include "platform/file_system.h"
#include "stream/file_buffer.h"
#include "stream/qi_f_stream.h"

namespace corvane {
namespace {

std::vector<Ref<QFBank>>& Banks() {
  static std::vector<Ref<QFBank>> banks;
  return banks;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    unsigned char a = static_cast<unsigned char>(*text);
    unsigned char b = static_cast<unsigned char>(*prefix);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + 32);
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
    if (a != b) return false;  // also ends at the end of `text`
  }
  return true;
}

// Serves QIFStreamB from the registered banks.
class BankListOpener final : public IBankFileOpener {
 public:
  bool OpenFromBank(const char* path, int64_t offset, int64_t size, Ref<IFileBuffer>& buffer,
                    Ref<RefCount>& bank) override {
    if (Banks().empty()) return false;
    QFBank* found = FindBankForPath(path);
    if (found == nullptr) return false;
    const char* name = path + found->GetPrefix().GetLength();
    buffer = found->OpenEntry(name, offset, size);
    if (!buffer) {
      ReportLog("File %s not in bank", path);
      return false;
    }
    bank = Ref<RefCount>(found);
    return true;
  }
};

BankListOpener g_opener;

QFBank* Record(const Ref<QFBank>& bank) {
  if (GetBankFileOpener() != &g_opener) SetBankFileOpener(&g_opener);
  Banks().push_back(bank);
  return bank.GetRef();
}

QFBank* Register(const char* file_name, const char* prefix, BankAccessCallback callback,
                 void* context, int64_t offset, int64_t length) {
  if (file_name == nullptr || !platform::FileExists(file_name)) {
    ReportError("Cannot open file '%s'", file_name ? file_name : "");
    return nullptr;
  }
  Ref<QFBank> bank(new QFBank);
  bank->Open(file_name, prefix, callback, context, offset, length);
  return Record(bank);
}

QFBank* FindByPrefix(const char* prefix) {
  for (Ref<QFBank>& bank : Banks()) {
    if (std::strcmp(bank->GetPrefix().Data(), prefix ? prefix : "") == 0) return bank.GetRef();
  }
  return nullptr;
}

}  // namespace

QFBank* RegisterBank(const char* file_name, const char* prefix, BankAccessCallback callback,
                     void* context) {
  return Register(file_name, prefix, callback, context, 0, -1);
}

QFBank* RegisterBankWindow(const char* file_name, int64_t offset, int64_t length,
                           const char* prefix, BankAccessCallback callback, void* context) {
  if (length < 0) length = 0;
  return Register(file_name, prefix, callback, context, offset < 0 ? 0 : offset, length);
}

QFBank* RegisterBankBuffer(const char* name, Ref<IFileBuffer> file, const char* prefix,
                           BankAccessCallback callback, void* context) {
  Ref<QFBank> bank(new QFBank);
  bank->OpenBuffer(name, std::move(file), prefix, callback, context);
  return Record(bank);
}

QFBank* RegisterBankBase(const char* base_name, const char* prefix, BankAccessCallback callback,
                         void* context) {
  RString name = Concat(base_name ? base_name : "", ".vbk");
  return RegisterBank(name.Data(), prefix, callback, context);
}

void UnregisterAllBanks() { Banks().clear(); }

int GetBankCount() { return static_cast<int>(Banks().size()); }

QFBank* GetBank(int index) {
  if (index < 0 || index >= GetBankCount()) return nullptr;
  return Banks()[index].GetRef();
}

bool LockBank(const char* prefix) {
  QFBank* bank = FindByPrefix(prefix);
  if (bank == nullptr) {
    ReportLog("Lock: Bank %s not found", prefix ? prefix : "");
    return false;
  }
  bank->Lock();
  return true;
}

bool UnlockBank(const char* prefix) {
  QFBank* bank = FindByPrefix(prefix);
  if (bank == nullptr) {
    ReportLog("Unlock: Bank %s not found", prefix ? prefix : "");
    return false;
  }
  bank->Unlock();
  return true;
}

bool FreeBankMemory() {
  for (Ref<QFBank>& bank : Banks()) {
    if (bank->IsLoaded() && !bank->IsLocked()) {
      ReportLog("Unloading bank %s", bank->GetFileName().Data());
      if (bank->Unload()) return true;
    }
  }
  for (Ref<QFBank>& bank : Banks()) {
    if (bank->IsLoaded() && bank->IsLocked()) {
      ReportLog("Unloading locked bank %s", bank->GetFileName().Data());
      if (bank->Unload()) return true;
    }
  }
  return false;
}

QFBank* FindBankForPath(const char* path) {
  if (path == nullptr || path[0] == '\0' || path[1] == ':') return nullptr;
  QFBank* best = nullptr;
  int best_length = -1;
  for (Ref<QFBank>& bank : Banks()) {
    int length = bank->GetPrefix().GetLength();
    if (length > best_length && StartsWithNoCase(path, bank->GetPrefix().Data())) {
      best = bank.GetRef();
      best_length = length;
    }
  }
  return best;
}

bool BankFileExists(const char* path, BankAccessCallback checker, void* context) {
  if (QFBank* bank = FindBankForPath(path)) {
    const char* name = path + bank->GetPrefix().GetLength();
    if (checker != nullptr && !checker(*bank, context)) {
      if (!bank->EntryExists(name)) ReportLog("FileExist %s: access denied", path);
      return false;
    }
    if (bank->EntryExists(name)) return true;
  }
  return platform::FileExists(path ? path : "");
}

}  // namespace corvane
