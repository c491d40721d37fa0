// Adding, replacing and removing the entries of a class, and loading the
// placeholders among them on access.
#include "foundation/app_frame.h"
#include "param/param_array.h"
#include "param/param_class.h"
#include "param/param_class_kinds.h"
#include "param/param_entry_index.h"
#include "param/param_file.h"
#include "param/param_value.h"

namespace corvane {

int ParamClass::FindOwnIndex(const char* name) const {
  if (!name) name = "";
  if (index_) return index_->Find(name, entries_);
  for (int i = 0; i < entries_.Size(); ++i) {
    if (CompareNoCase(entries_[i]->GetName(), name) == 0) return i;
  }
  return -1;
}

int ParamClass::IndexOfEntry(const ParamEntry* entry) const {
  for (int i = 0; i < entries_.Size(); ++i) {
    if (entries_[i] == entry) return i;
  }
  return -1;
}

bool ParamClass::NeedsRestoring() const {
  for (const ParamEntry* entry : entries_) {
    if (entry->AsPlaceholder()) return true;
  }
  return false;
}

void ParamClass::BuildIndex() {
  CORVANE_VERIFY(!NeedsRestoring());
  delete index_;
  index_ = new ParamEntryIndex(entries_);
}

ParamEntry* ParamClass::LoadedEntryAt(int index) const {
  ParamEntry* entry = entries_[index];
  const ParamClassPlaceholder* placeholder = entry->AsPlaceholder();
  if (!placeholder) return entry;

  auto* self = const_cast<ParamClass*>(this);
  auto* cls = new ParamClass(placeholder->GetBankedName());
  cls->source_ = placeholder->GetSource();
  cls->source_offset_ = placeholder->GetSourceOffset();
  cls->source_size_ = placeholder->GetSourceSize();
  cls->SetParent(self);
  self->ReplaceEntryAt(index, cls);
  if (cls->source_offset_ < 0) ReportAssertionFailed(__FILE__, __LINE__, "cls->_sourceOffset>=0");
  if (cls->source_offset_ >= 0 && cls->source_) {
    // Keep the class from being listed for unloading while its body is read.
    cls->Lock();
    cls->source_->LoadClassBody(*cls);
    if (ParamFile* file = FindFile()) cls->SetFile(file);
    cls->Unlock();
  }
  return cls;
}

void ParamClass::ReplaceEntryAt(int index, ParamEntry* entry) {
  ParamEntry* old = entries_[index];
  entries_[index] = entry;
  if (index_ && old->GetBankedName().Block() != entry->GetBankedName().Block()) {
    index_->Rename(old->GetName(), entry->GetName(), index);
  }
  DestroyEntry(old);
}

void ParamClass::AppendEntry(ParamEntry* entry) {
  entries_.Add(entry);
  if (index_) index_->Add(entry->GetName(), entries_.Size() - 1);
}

void ParamClass::AddEntry(ParamEntry* entry, bool guaranteed_unique) {
  int found = FindOwnIndex(entry->GetName());
  if (found < 0) {
    AppendEntry(entry);
    return;
  }
  if (guaranteed_unique) {
    CORVANE_REPORT_INTERNAL("Guaranteed unique Entry already exists");
    ReportWarning("Config: '%s' already defined in '%s'.", entry->GetName(), GetName());
  }
  CORVANE_REPORT_INTERNAL("Entry already exists");
  ReportError("Config: '%s' already defined in '%s'.", entry->GetName(), GetName());
  ReplaceEntryAt(found, entry);
}

void ParamClass::Delete(const char* name) {
  int found = FindOwnIndex(name);
  if (found < 0) return;
  ParamEntry* entry = entries_[found];
  entries_.Delete(found);
  if (index_) index_->Remove(entry->GetName(), found);
  DestroyEntry(entry);
}

bool ParamClass::CheckAddAccess(const char* name, bool exists) const {
  if (access_ >= PAReadOnly) {
    ReportLog("Trying to modify read-only entry %s", GetContext(name).Data());
    return false;
  }
  if (access_ == PAReadAndCreate && exists) {
    ReportLog("Trying to modify add-only entry %s", GetContext(name).Data());
    return false;
  }
  return true;
}

void ParamClass::AddInt(const char* name, int value) {
  int found = FindOwnIndex(name);
  if (found >= 0) {
    LoadedEntryAt(found)->SetInt(value);
    return;
  }
  AppendEntry(new ParamValueInt(name, ParamRawValueInt(value)));
}

void ParamClass::AddFloat(const char* name, float value) {
  int found = FindOwnIndex(name);
  if (found >= 0) {
    LoadedEntryAt(found)->SetFloat(value);
    return;
  }
  AppendEntry(new ParamValueFloat(name, ParamRawValueFloat(value)));
}

void ParamClass::AddText(const char* name, const char* value) {
  int found = FindOwnIndex(name);
  if (!CheckAddAccess(name, found >= 0)) return;
  if (found >= 0) {
    LoadedEntryAt(found)->SetText(value);
    return;
  }
  AppendEntry(new ParamValueText(name, ParamRawValue(value)));
}

ParamClass* ParamClass::AddClass(const char* name, bool guaranteed_unique, bool declaration_only) {
  if (!CheckAddAccess(name, false)) return nullptr;
  if (!guaranteed_unique) {
    int found = FindOwnIndex(name);
    if (found >= 0) {
      ParamEntry* entry = LoadedEntryAt(found);
      CORVANE_VERIFY(entry->IsClass());
      return entry->AsClass();
    }
  }
  ParamClass* cls = declaration_only ? new ParamClassDecl(name) : new ParamClass(name);
  cls->SetParent(this);
  AddEntry(cls, guaranteed_unique);
  return cls;
}

ParamEntry* ParamClass::AddArray(const char* name) {
  int found = FindOwnIndex(name);
  if (!CheckAddAccess(name, found >= 0)) return nullptr;
  if (found >= 0) {
    ParamEntry* entry = LoadedEntryAt(found);
    CORVANE_VERIFY(entry->IsArray());
    if (!entry->IsArray()) return nullptr;
    entry->Clear();
    return entry;
  }
  auto* array = new ParamArray(name);
  AppendEntry(array);
  return array;
}

}  // namespace corvane
