// Lookups by name, by position and by path.
#include <cstring>
#include <string>
#include <vector>

#include "foundation/app_frame.h"
#include "param/param_class.h"
#include "param/param_class_kinds.h"

namespace corvane {

namespace {

// Base and parent links of a hostile file may form loops; every class is
// searched at most once.
bool Visit(std::vector<const ParamClass*>& visited, const ParamClass* cls) {
  for (const ParamClass* seen : visited) {
    if (seen == cls) return false;
  }
  visited.push_back(cls);
  return true;
}

}  // namespace

EntryHandle ParamClass::MakeHandle(ParamEntry* entry) const {
  if (ParamClass* cls = entry->AsClass()) return EntryHandle(cls, entry);
  return EntryHandle(const_cast<ParamClass*>(this), entry);
}

ParamEntry* ParamClass::FindVisibleOwn(const char* name, const IParamVisibleTest& test) const {
  int found = FindOwnIndex(name);
  if (found < 0) return nullptr;
  ParamEntry* entry = LoadedEntryAt(found);
  if (!test(*entry)) {
    ReportLog("Entry %s in %s is not visible", entry->GetName(), GetName());
    return nullptr;
  }
  return entry;
}

EntryHandle ParamClass::GetEntry(int index) const {
  if (index < 0 || index >= entries_.Size()) {
    CORVANE_REPORT_INTERNAL("Array index out of range");
    return EntryHandle();
  }
  return MakeHandle(LoadedEntryAt(index));
}

EntryHandle ParamClass::FindOwnEntry(const char* name, const IParamVisibleTest& test) const {
  ParamEntry* entry = FindVisibleOwn(name, test);
  return entry ? MakeHandle(entry) : EntryHandle();
}

EntryHandle ParamClass::FindEntry(const char* name, const IParamVisibleTest& test) const {
  // Base chains never loop (SetBase refuses), so walking them ends.
  for (const ParamClass* cls = this; cls; cls = cls->base_) {
    if (ParamEntry* entry = cls->FindVisibleOwn(name, test)) return cls->MakeHandle(entry);
  }
  return EntryHandle();
}

bool ParamClass::CheckIfEntryExists(const char* name, const IParamVisibleTest& test) const {
  std::vector<const ParamClass*> visited;
  for (const ParamClass* cls = this; cls && Visit(visited, cls);
       cls = cls->base_ ? cls->base_ : cls->parent_) {
    if (cls->FindVisibleOwn(name, test)) return true;
  }
  return false;
}

EntryHandle ParamClass::FindEntryWide(const char* name, const IParamVisibleTest& test) const {
  // Depth first: own entries, then the base searched by this rule, then the
  // parent searched by this rule.
  std::vector<const ParamClass*> visited;
  std::vector<const ParamClass*> pending{this};
  while (!pending.empty()) {
    const ParamClass* cls = pending.back();
    pending.pop_back();
    if (!Visit(visited, cls)) continue;
    if (ParamEntry* entry = cls->FindVisibleOwn(name, test)) return cls->MakeHandle(entry);
    if (cls->parent_) pending.push_back(cls->parent_);
    if (cls->base_) pending.push_back(cls->base_);
  }
  return EntryHandle();
}

EntryHandle ParamClass::FindEntryPath(const char* path) const {
  if (!path || !*path)
    return EntryHandle(const_cast<ParamClass*>(this), const_cast<ParamClass*>(this));
  EntryHandle current;
  const ParamClass* cls = this;
  const char* part = path;
  for (;;) {
    const char* slash = std::strchr(part, '/');
    std::string name = slash ? std::string(part, slash) : std::string(part);
    EntryHandle found = cls->FindEntry(name.c_str());
    if (!slash) return found;
    if (!found || !found.GetClass()) return EntryHandle();
    current = std::move(found);
    cls = current.GetClass();
    part = slash + 1;
  }
}

EntryHandle ParamClass::GetEntryByName(const char* name) const {
  EntryHandle found = FindEntry(name);
  if (found) return found;
  ReportErrorLevel(3, "No entry '%s'.", GetContext(name).Data());
  return ParamErrorHandle();
}

EntryHandle ParamClass::GetClassSection(const char* name) const {
  EntryHandle found = FindEntry(name);
  if (found && found.GetClass()) return found;
  ReportErrorLevel(3, "No section '%s' in '%s'", name ? name : "", GetName());
  return ParamErrorHandle();
}

bool ParamClass::RestoreLoaded(const IParamVisibleTest& test, bool recursive) {
  for (int i = 0; i < entries_.Size(); ++i) {
    ParamEntry* entry = LoadedEntryAt(i);
    if (recursive && entry->AsClass()) entry->RestoreLoaded(test, true);
  }
  return true;
}

EntryHandle ParamClass::GetParent() const {
  return parent_ ? EntryHandle(parent_, parent_) : EntryHandle();
}

EntryHandle ParamClass::GetBase() const {
  return base_ ? EntryHandle(base_, base_) : EntryHandle();
}

}  // namespace corvane
