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
  dying_ = true;
  if (in_list_) {
    CORVANE_VERIFY(!IsInList());
    if (ParamFile* file = FindFile()) file->RemoveFromList(this);
  }
  ClearEntries();
  Unlink();
  if (lock_count_ > 0) {
    ReportLog("Class %s destroyed with lock count %d", GetName(), lock_count_);
    CORVANE_REPORT_INTERNAL("Class destroyed, but still locked");
  }
  delete derived_;
}

void ParamClass::Unlink() {
  SetBase(nullptr);
  if (derived_) {
    for (ParamClass* derived : *derived_) {
      derived->base_ = nullptr;
      --lock_count_;
    }
    derived_->clear();
  }
  SetParent(nullptr);
}

void ParamClass::ClearEntries() {
  // Later entries go first: they are the ones that may use earlier ones as
  // their base.
  for (int i = entries_.Size() - 1; i >= 0; --i) DestroyEntry(entries_[i]);
  entries_.Clear();
  delete index_;
  index_ = nullptr;
}

void ParamClass::DestroyEntry(ParamEntry* entry) {
  if (ParamClass* cls = entry->AsClass()) {
    if (cls->in_list_) {
      if (ParamFile* file = FindFile()) file->RemoveFromList(cls);
    }
  }
  delete entry;
}

// --- links and locks ---

void ParamClass::SetParent(ParamClass* parent) {
  if (parent) parent->Lock();
  ParamClass* old = parent_;
  parent_ = parent;
  if (old) old->Unlock();
}

bool ParamClass::SetBase(ParamClass* base) {
  for (const ParamClass* c = base; c; c = c->base_) {
    if (c == this) {
      CORVANE_REPORT_INTERNAL("Base class loop");
      return false;
    }
  }
  if (base) {
    base->Lock();
    if (!base->derived_) base->derived_ = new std::vector<ParamClass*>;
    base->derived_->push_back(this);
  }
  ParamClass* old = base_;
  base_ = base;
  if (old) {
    old->ForgetDerived(this);
    old->Unlock();
  }
  return true;
}

void ParamClass::ForgetDerived(ParamClass* derived) {
  if (!derived_) return;
  auto it = std::find(derived_->begin(), derived_->end(), derived);
  if (it != derived_->end()) derived_->erase(it);
}

ParamFile* ParamClass::FindFile() const {
  const ParamClass* c = this;
  while (c->parent_) c = c->parent_;
  return const_cast<ParamClass*>(c)->GetFile();
}

bool ParamClass::CanUnload() const {
  return !dying_ && parent_ && source_offset_ >= 0 && source_ && source_->CanUnload();
}

void ParamClass::Lock() const {
  if (lock_count_++ == 0 && in_list_) {
    if (ParamFile* file = FindFile()) file->RemoveFromList(const_cast<ParamClass*>(this));
  }
}

void ParamClass::Unlock() const {
  if (--lock_count_ != 0 || in_list_ || !CanUnload()) return;
  ParamFile* file = FindFile();
  if (!file) {
    CORVANE_REPORT_INTERNAL("We need a file for unloading");
    return;
  }
  file->AddToList(const_cast<ParamClass*>(this));
}

void ParamClass::LockRecursive() const {
  Lock();
  if (base_) base_->Lock();
  for (ParamEntry* entry : entries_) {
    if (const ParamClass* cls = entry->AsClass()) cls->LockRecursive();
  }
}

void ParamClass::UnlockRecursive() const {
  for (ParamEntry* entry : entries_) {
    if (const ParamClass* cls = entry->AsClass()) cls->UnlockRecursive();
  }
  if (base_) base_->Unlock();
  Unlock();
}

// --- sources, access, memory ---

void ParamClass::SetSourceFrom(const ParamClass& other) {
  source_ = other.source_;
  source_offset_ = other.source_offset_;
  source_size_ = other.source_size_;
}

void ParamClass::SetSource(IParamClassSource* source, bool recursive) {
  source_ = source;
  if (!recursive) return;
  for (ParamEntry* entry : entries_) {
    if (entry->IsClass()) entry->SetSource(source, true);
  }
}

void ParamClass::DisableStreaming(bool recursive) {
  if (source_ && source_->CanUnload()) {
    source_ = new ParamClassOwnerIndirectNoUnload(source_.GetRef());
    if (in_list_) {
      if (ParamFile* file = FindFile()) file->RemoveFromList(this);
    }
  }
  if (!recursive) return;
  for (int i = 0; i < entries_.Size(); ++i) {
    if (entries_[i]->IsClass()) LoadedEntryAt(i)->DisableStreaming(true);
  }
}

RString ParamClass::GetSourceName() const {
  if (!source_) {
    CORVANE_REPORT_INTERNAL("No owner");
    return RString();
  }
  return source_->GetOwnerName();
}

RString ParamClass::GetSourceFileName() const {
  if (!source_) {
    CORVANE_REPORT_INTERNAL("No owner");
    return RString();
  }
  return source_->GetFileName();
}

void ParamClass::SetAccessRecursive(int access) {
  access_ = access;
  for (ParamEntry* entry : entries_) entry->SetAccessRecursive(access);
}

size_t ParamClass::GetOwnMemory() const {
  // NOLINTNEXTLINE(bugprone-sizeof-expression): the table holds pointers
  return sizeof(*this) + sizeof(ParamEntry*) * static_cast<size_t>(entries_.MaxSize()) +
         (index_ ? index_->GetMemory() : 0);
}

size_t ParamClass::GetChildMemory() const {
  size_t total = 0;
  for (const ParamEntry* entry : entries_) total += entry->GetOwnMemory() + entry->GetChildMemory();
  return total;
}

void ParamClass::SetFile(ParamFile* file) {
  for (int i = 0; i < entries_.Size(); ++i) LoadedEntryAt(i)->SetFile(file);
}

void ParamClass::Compact() { entries_.Realloc(entries_.Size()); }

void ParamClass::Reserve(int count) {
  if (count > entries_.MaxSize()) entries_.Realloc(count);
}

// --- check value ---

void ParamClass::AddToCheckValue(ParamCheckValueSink& sink) const {
  bool covered = GetAccess() > PAReadOnly;
  for (int i = 0; i < entries_.Size(); ++i) {
    ParamEntry* entry = LoadedEntryAt(i);
    if (entry->IsClass() || covered) entry->AddToCheckValue(sink);
  }
  if (!covered) return;
  sink.Add(GetName(), static_cast<size_t>(name_.GetLength()));
  if (base_) sink.Add(base_->GetName(), static_cast<size_t>(base_->name_.GetLength()));
}

bool ParamClass::HasCheckValue() const {
  if (GetAccess() > PAReadOnly) return true;
  for (int i = 0; i < entries_.Size(); ++i) {
    if (!entries_[i]->IsClass()) continue;
    if (LoadedEntryAt(i)->HasCheckValue()) return true;
  }
  return false;
}

}  // namespace corvane
