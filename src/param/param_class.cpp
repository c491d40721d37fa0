#include "param/param_class.h"

#include <algorithm>

#include "foundation/app_frame.h"
#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_entry_index.h"
#include "param/param_file.h"
#include "param/param_value.h"

namespace corvane {

ParamClass::~ParamClass() {
  _dying = true;
  if (_inList) {
    CORVANE_VERIFY(!IsInList());
    if (ParamFile* file = FindFile()) file->RemoveFromList(this);
  }
  ClearEntries();
  Unlink();
  if (_lockCount > 0) {
    ReportLog("Class %s destroyed with lock count %d", GetName(), _lockCount);
    CORVANE_REPORT_INTERNAL("Class destroyed, but still locked");
  }
  delete _derived;
}

void ParamClass::Unlink() {
  SetBase(nullptr);
  if (_derived) {
    for (ParamClass* derived : *_derived) {
      derived->_base = nullptr;
      --_lockCount;
    }
    _derived->clear();
  }
  SetParent(nullptr);
}

void ParamClass::ClearEntries() {
  // Later entries go first: they are the ones that may use earlier ones as
  // their base.
  for (int i = _entries.Size() - 1; i >= 0; --i) DestroyEntry(_entries[i]);
  _entries.Clear();
  delete _index;
  _index = nullptr;
}

void ParamClass::DestroyEntry(ParamEntry* entry) {
  if (ParamClass* cls = entry->AsClass()) {
    if (cls->_inList) {
      if (ParamFile* file = FindFile()) file->RemoveFromList(cls);
    }
  }
  delete entry;
}

// --- links and locks ---

void ParamClass::SetParent(ParamClass* parent) {
  if (parent) parent->Lock();
  ParamClass* old = _parent;
  _parent = parent;
  if (old) old->Unlock();
}

bool ParamClass::SetBase(ParamClass* base) {
  for (const ParamClass* c = base; c; c = c->_base) {
    if (c == this) {
      CORVANE_REPORT_INTERNAL("Base class loop");
      return false;
    }
  }
  if (base) {
    base->Lock();
    if (!base->_derived) base->_derived = new std::vector<ParamClass*>;
    base->_derived->push_back(this);
  }
  ParamClass* old = _base;
  _base = base;
  if (old) {
    old->ForgetDerived(this);
    old->Unlock();
  }
  return true;
}

void ParamClass::ForgetDerived(ParamClass* derived) {
  if (!_derived) return;
  auto it = std::find(_derived->begin(), _derived->end(), derived);
  if (it != _derived->end()) _derived->erase(it);
}

ParamFile* ParamClass::FindFile() const {
  const ParamClass* c = this;
  while (c->_parent) c = c->_parent;
  return const_cast<ParamClass*>(c)->GetFile();
}

bool ParamClass::CanUnload() const {
  return !_dying && _parent && _sourceOffset >= 0 && _source && _source->CanUnload();
}

void ParamClass::Lock() const {
  if (_lockCount++ == 0 && _inList) {
    if (ParamFile* file = FindFile()) file->RemoveFromList(const_cast<ParamClass*>(this));
  }
}

void ParamClass::Unlock() const {
  if (--_lockCount != 0 || _inList || !CanUnload()) return;
  ParamFile* file = FindFile();
  if (!file) {
    CORVANE_REPORT_INTERNAL("We need a file for unloading");
    return;
  }
  file->AddToList(const_cast<ParamClass*>(this));
}

void ParamClass::LockRecursive() const {
  Lock();
  if (_base) _base->Lock();
  for (ParamEntry* entry : _entries) {
    if (const ParamClass* cls = entry->AsClass()) cls->LockRecursive();
  }
}

void ParamClass::UnlockRecursive() const {
  for (ParamEntry* entry : _entries) {
    if (const ParamClass* cls = entry->AsClass()) cls->UnlockRecursive();
  }
  if (_base) _base->Unlock();
  Unlock();
}

// --- sources, access, memory ---

void ParamClass::SetSourceFrom(const ParamClass& other) {
  _source = other._source;
  _sourceOffset = other._sourceOffset;
  _sourceSize = other._sourceSize;
}

void ParamClass::SetSource(IParamClassSource* source, bool recursive) {
  _source = source;
  if (!recursive) return;
  for (ParamEntry* entry : _entries) {
    if (entry->IsClass()) entry->SetSource(source, true);
  }
}

void ParamClass::DisableStreaming(bool recursive) {
  if (_source && _source->CanUnload()) {
    _source = new ParamClassOwnerIndirectNoUnload(_source.GetRef());
    if (_inList) {
      if (ParamFile* file = FindFile()) file->RemoveFromList(this);
    }
  }
  if (!recursive) return;
  for (int i = 0; i < _entries.Size(); ++i) {
    if (_entries[i]->IsClass()) LoadedEntryAt(i)->DisableStreaming(true);
  }
}

RString ParamClass::GetSourceName() const {
  if (!_source) {
    CORVANE_REPORT_INTERNAL("No owner");
    return RString();
  }
  return _source->GetOwnerName();
}

RString ParamClass::GetSourceFileName() const {
  if (!_source) {
    CORVANE_REPORT_INTERNAL("No owner");
    return RString();
  }
  return _source->GetFileName();
}

void ParamClass::SetAccessRecursive(int access) {
  _access = access;
  for (ParamEntry* entry : _entries) entry->SetAccessRecursive(access);
}

size_t ParamClass::GetOwnMemory() const {
  // NOLINTNEXTLINE(bugprone-sizeof-expression): the table holds pointers
  return sizeof(*this) + sizeof(ParamEntry*) * static_cast<size_t>(_entries.MaxSize()) +
         (_index ? _index->GetMemory() : 0);
}

size_t ParamClass::GetChildMemory() const {
  size_t total = 0;
  for (const ParamEntry* entry : _entries) total += entry->GetOwnMemory() + entry->GetChildMemory();
  return total;
}

void ParamClass::SetFile(ParamFile* file) {
  for (int i = 0; i < _entries.Size(); ++i) LoadedEntryAt(i)->SetFile(file);
}

void ParamClass::Compact() { _entries.Realloc(_entries.Size()); }

void ParamClass::Reserve(int count) {
  if (count > _entries.MaxSize()) _entries.Realloc(count);
}

// --- check value ---

void ParamClass::AddToCheckValue(ParamCheckValueSink& sink) const {
  bool covered = GetAccess() > PAReadOnly;
  for (int i = 0; i < _entries.Size(); ++i) {
    ParamEntry* entry = LoadedEntryAt(i);
    if (entry->IsClass() || covered) entry->AddToCheckValue(sink);
  }
  if (!covered) return;
  sink.Add(GetName(), static_cast<size_t>(_name.GetLength()));
  if (_base) sink.Add(_base->GetName(), static_cast<size_t>(_base->_name.GetLength()));
}

bool ParamClass::HasCheckValue() const {
  if (GetAccess() > PAReadOnly) return true;
  for (int i = 0; i < _entries.Size(); ++i) {
    if (!_entries[i]->IsClass()) continue;
    if (LoadedEntryAt(i)->HasCheckValue()) return true;
  }
  return false;
}

}  // namespace corvane
