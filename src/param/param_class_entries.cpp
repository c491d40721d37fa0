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
  if (_index) return _index->Find(name, _entries);
  for (int i = 0; i < _entries.Size(); ++i) {
    if (CompareNoCase(_entries[i]->GetName(), name) == 0) return i;
  }
  return -1;
}

int ParamClass::IndexOfEntry(const ParamEntry* entry) const {
  for (int i = 0; i < _entries.Size(); ++i) {
    if (_entries[i] == entry) return i;
  }
  return -1;
}

bool ParamClass::NeedsRestoring() const {
  for (const ParamEntry* entry : _entries) {
    if (entry->AsPlaceholder()) return true;
  }
  return false;
}

void ParamClass::BuildIndex() {
  CORVANE_VERIFY(!NeedsRestoring());
  delete _index;
  _index = new ParamEntryIndex(_entries);
}

ParamEntry* ParamClass::LoadedEntryAt(int index) const {
  ParamEntry* entry = _entries[index];
  const ParamClassPlaceholder* placeholder = entry->AsPlaceholder();
  if (!placeholder) return entry;

  auto* self = const_cast<ParamClass*>(this);
  auto* cls = new ParamClass(placeholder->GetBankedName());
  cls->_source = placeholder->GetSource();
  cls->_sourceOffset = placeholder->GetSourceOffset();
  cls->_sourceSize = placeholder->GetSourceSize();
  cls->SetParent(self);
  self->ReplaceEntryAt(index, cls);
  if (cls->_sourceOffset < 0) ReportAssertionFailed(__FILE__, __LINE__, "cls->_sourceOffset>=0");
  if (cls->_sourceOffset >= 0 && cls->_source) {
    // Keep the class from being listed for unloading while its body is read.
    cls->Lock();
    cls->_source->LoadClassBody(*cls);
    if (ParamFile* file = FindFile()) cls->SetFile(file);
    cls->Unlock();
  }
  return cls;
}

void ParamClass::ReplaceEntryAt(int index, ParamEntry* entry) {
  ParamEntry* old = _entries[index];
  _entries[index] = entry;
  if (_index && old->GetBankedName().Block() != entry->GetBankedName().Block()) {
    _index->Rename(old->GetName(), entry->GetName(), index);
  }
  DestroyEntry(old);
}

void ParamClass::AppendEntry(ParamEntry* entry) {
  _entries.Add(entry);
  if (_index) _index->Add(entry->GetName(), _entries.Size() - 1);
}

void ParamClass::AddEntry(ParamEntry* entry, bool guaranteedUnique) {
  int found = FindOwnIndex(entry->GetName());
  if (found < 0) {
    AppendEntry(entry);
    return;
  }
  if (guaranteedUnique) {
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
  ParamEntry* entry = _entries[found];
  _entries.Delete(found);
  if (_index) _index->Remove(entry->GetName(), found);
  DestroyEntry(entry);
}

bool ParamClass::CheckAddAccess(const char* name, bool exists) const {
  if (_access >= PAReadOnly) {
    ReportLog("Trying to modify read-only entry %s", GetContext(name).Data());
    return false;
  }
  if (_access == PAReadAndCreate && exists) {
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

ParamClass* ParamClass::AddClass(const char* name, bool guaranteedUnique, bool declarationOnly) {
  if (!CheckAddAccess(name, false)) return nullptr;
  if (!guaranteedUnique) {
    int found = FindOwnIndex(name);
    if (found >= 0) {
      ParamEntry* entry = LoadedEntryAt(found);
      CORVANE_VERIFY(entry->IsClass());
      return entry->AsClass();
    }
  }
  ParamClass* cls = declarationOnly ? new ParamClassDecl(name) : new ParamClass(name);
  cls->SetParent(this);
  AddEntry(cls, guaranteedUnique);
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
