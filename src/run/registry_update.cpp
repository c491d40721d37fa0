#include "run/registry_update.h"

#include "foundation/app_frame.h"
#include "param/entry_handle.h"
#include "param/param_array.h"
#include "param/param_entry.h"
#include "platform/registry.h"

namespace corvane {

namespace {

bool ListsDistribution(const ParamEntry& array, const RString& distribution) {
  int size = array.GetSize();
  for (int i = 0; i < size; ++i) {
    if (array.GetItem(i).GetText().CompareNoCase(distribution.Data()) == 0) return true;
  }
  return false;
}

RString StrictText(const ParamEntry& cls, const char* key) {
  EntryHandle entry = cls.GetEntryByName(key);
  return entry ? entry->GetText() : RString();
}

}  // namespace

AutoArray<RegistryWrite> ReadRegistryUpdates(const ParamEntry& manifest,
                                             const RString& distribution) {
  AutoArray<RegistryWrite> writes;
  EntryHandle updates = manifest.FindEntry("UpdateRegistry");
  if (!updates) return writes;
  int count = updates->GetEntryCount();
  for (int i = 0; i < count; ++i) {
    EntryHandle entry = updates->GetEntry(i);
    if (!entry || !entry->IsClass()) continue;
    EntryHandle limit = entry->FindEntry("distributions");
    if (limit && !ListsDistribution(*limit, distribution)) continue;
    RegistryWrite write;
    EntryHandle user = entry->GetEntryByName("registryUser");
    write.user = user && user->GetBool();
    write.path = StrictText(*entry, "registryPath");
    write.name = StrictText(*entry, "registryName");
    write.value = StrictText(*entry, "registryValue");
    writes.Add(write);
  }
  return writes;
}

bool MayWriteRegistry(const ParamEntry& manifest) {
  EntryHandle updates = manifest.FindEntry("UpdateRegistry");
  if (!updates || !updates->IsClass()) return false;
  const int count = updates->GetEntryCount();
  for (int i = 0; i < count; ++i) {
    EntryHandle entry = updates->GetEntry(i);
    if (!entry || !entry->IsClass()) continue;
    EntryHandle limit = entry->FindEntry("distributions");
    if (!limit || (limit->IsArray() && limit->GetSize() > 0)) return true;
  }
  return false;
}

int ApplyRegistryUpdates(const ParamEntry& manifest, const RString& distribution,
                         std::string* failed) {
  AutoArray<RegistryWrite> writes = ReadRegistryUpdates(manifest, distribution);
  if (failed != nullptr) failed->clear();
  int written = 0;
  for (const RegistryWrite& write : writes) {
    std::string why;
    platform::RegistryStatus status = platform::WriteRegistryString(
        write.user ? platform::RegistryRoot::kCurrentUser : platform::RegistryRoot::kLocalMachine,
        write.path.Data(), write.name.Data(), write.value.Data(), &why);
    if (status == platform::RegistryStatus::kOk) {
      ++written;
      continue;
    }
    ReportLog("Registry value %s\\%s not written: %s", write.path.Data(), write.name.Data(),
              why.c_str());
    if (failed != nullptr && failed->empty()) {
      *failed = std::string(write.user ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") +
                write.path.Data() + "\\" + write.name.Data();
    }
  }
  return written;
}

}  // namespace corvane
