#pragma once

#include <vector>

#include "foundation/auto_array.h"
#include "foundation/ref_count.h"
#include "param/param_class_source.h"
#include "param/param_entry.h"

namespace corvane {

class ParamEntryIndex;

// A class: ordered, owned entries, an optional base class whose entries it
// inherits through lookups, and its parent. Lookups answer EntryHandles that
// keep a lock on the class holding what was found.
//
// Locks: a class holds one lock on its parent and one on its base while it
// points to them. The lock count decides unloading: only a class with no lock
// whose source allows unloading may be turned back into a placeholder.
//
// Entries that are placeholders (class bodies not loaded) are loaded by every
// operation that reaches an entry by position.
class ParamClass : public ParamEntry {
 public:
  explicit ParamClass(BankedString name) : ParamEntry(std::move(name)) {}
  ~ParamClass() override;

  void SetSourceFrom(const ParamClass& other) override;
  void SetSource(IParamClassSource* source, bool recursive) override;
  bool IsClass() const override { return true; }
  ParamClass* GetClass() override { return this; }
  ParamClass* AsClass() override { return this; }
  const ParamClass* AsClass() const override { return this; }
  void DisableStreaming(bool recursive) override;
  size_t GetOwnMemory() const override;
  size_t GetChildMemory() const override;
  void SetAccess(int access) override { access_ = access; }
  void SetAccessRecursive(int access) override;
  int GetAccess() const override { return access_; }
  IParamClassSource* GetSource() const override { return source_.GetRef(); }
  RString GetSourceName() const override;
  RString GetSourceFileName() const override;
  bool IsVisible(const IParamVisibleTest& test) const override { return test(*this); }
  void SetFile(ParamFile* file) override;

  void AddInt(const char* name, int value) override;
  void AddFloat(const char* name, float value) override;
  void AddText(const char* name, const char* value) override;
  ParamClass* AddClass(const char* name, bool guaranteed_unique = false,
                       bool declaration_only = false) override;
  // The array (found and cleared, or new); null when the access level
  // forbids the change.
  ParamEntry* AddArray(const char* name) override;
  void Delete(const char* name) override;

  int GetEntryCount() const override { return entries_.Size(); }
  EntryHandle GetEntry(int index) const override;
  void BuildIndex() override;

  EntryHandle FindOwnEntry(const char* name,
                           const IParamVisibleTest& test = ParamEntryAllVisible) const override;
  EntryHandle FindEntry(const char* name,
                        const IParamVisibleTest& test = ParamEntryAllVisible) const override;
  bool CheckIfEntryExists(const char* name,
                          const IParamVisibleTest& test = ParamEntryAllVisible) const override;
  EntryHandle FindEntryPath(const char* path) const override;
  EntryHandle GetEntryByName(const char* name) const override;
  bool RestoreLoaded(const IParamVisibleTest& test, bool recursive) override;
  EntryHandle GetParent() const override;
  EntryHandle GetBase() const override;

  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
  void Compact() override;
  void Reserve(int count) override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override;
  bool HasCheckValue() const override;
  // The file itself for a ParamFile, null for every other class.
  virtual ParamFile* GetFile() { return nullptr; }
  virtual const ParamFile* GetFile() const { return nullptr; }

  const ParamClass* GetParentClass() const override { return parent_; }

  // --- non-virtual interface ---

  // Own entries, then the base by this same rule, then the parent by this
  // same rule: how base class names are resolved.
  EntryHandle FindEntryWide(const char* name,
                            const IParamVisibleTest& test = ParamEntryAllVisible) const;
  // As FindEntry, but a missing class is reported as "No section '%s' in '%s'"
  // and answers the error entry.
  EntryHandle GetClassSection(const char* name) const;

  ParamClass* GetParentPtr() const { return parent_; }
  ParamClass* GetBasePtr() const { return base_; }
  // Relinking adds the lock on the new class before releasing the old one.
  void SetParent(ParamClass* parent);
  // Refuses (with a report) a base whose own base chain leads back here.
  bool SetBase(ParamClass* base);
  // The file at the root of this class's tree, or null.
  ParamFile* FindFile() const;

  void Lock() const;
  void Unlock() const;
  void LockRecursive() const;
  void UnlockRecursive() const;
  int GetLockCount() const { return lock_count_; }

  // The common step of every Add...: a duplicate name is reported and the
  // new entry takes the old one's place; a new name is appended. Takes
  // ownership.
  void AddEntry(ParamEntry* entry, bool guaranteed_unique = false);
  // Appends without looking for duplicates (the binary loader). Takes ownership.
  void AppendEntry(ParamEntry* entry);
  // The entry at `index` as stored (a placeholder stays a placeholder).
  ParamEntry* EntryAt(int index) const { return entries_[index]; }
  // The entry at `index`, with a placeholder loaded first.
  ParamEntry* LoadedEntryAt(int index) const;
  // Puts `entry` at `index` and destroys what stood there. Takes ownership.
  void ReplaceEntryAt(int index, ParamEntry* entry);
  // Position of the first own entry of that name (no loading), or -1.
  int FindOwnIndex(const char* name) const;
  int IndexOfEntry(const ParamEntry* entry) const;
  bool HasIndex() const { return index_ != nullptr; }
  bool NeedsRestoring() const;
  // Removes every entry (destroying them) and the base; keeps the parent.
  void ClearEntries();

  int GetSourceOffset() const { return source_offset_; }
  void SetSourceOffset(int offset) { source_offset_ = offset; }
  uint32_t GetSourceSize() const { return source_size_; }
  void SetSourceSize(uint32_t size) { source_size_ = size; }
  // True when the source could give the body back after an unload.
  bool CanUnload() const;

  // Links of the file's list of classes that may be unloaded.
  bool IsInList() const { return in_list_; }

 private:
  friend class ParamFile;
  friend class MemoryFreeOnDemandHelper;

  EntryHandle MakeHandle(ParamEntry* entry) const;
  EntryHandle FindEntryImpl(const char* name, const IParamVisibleTest& test, int depth) const;
  EntryHandle FindEntryWideImpl(const char* name, const IParamVisibleTest& test,
                                std::vector<const ParamClass*>& visited) const;
  bool CheckIfEntryExistsImpl(const char* name, const IParamVisibleTest& test,
                              std::vector<const ParamClass*>& visited) const;
  // An own entry found by name and let through by the visibility test.
  ParamEntry* FindVisibleOwn(const char* name, const IParamVisibleTest& test) const;
  bool CheckAddAccess(const char* name, bool exists) const;
  void ForgetDerived(ParamClass* derived);
  // Destroys an entry taken out of this class.
  void DestroyEntry(ParamEntry* entry);
  // Called before destruction: drops the links to parent and base and
  // clears the base of every class derived from this one.
  void Unlink();

  // Soft links: classes whose base is this class; their base is cleared if
  // this class goes away first, so no class ever points to a destroyed base.
  std::vector<ParamClass*>* derived_ = nullptr;
  ParamClass* prev_in_list_ = nullptr;
  ParamClass* next_in_list_ = nullptr;
  bool in_list_ = false;
  bool dying_ = false;  // being destroyed: unlocks must not list it again
  ParamEntryIndex* index_ = nullptr;
  AutoArray<ParamEntry*> entries_;
  ParamClass* base_ = nullptr;
  ParamClass* parent_ = nullptr;
  int access_ = PADefault;
  mutable int lock_count_ = 0;
  Ref<IParamClassSource> source_;
  int source_offset_ = -1;
  uint32_t source_size_ = 0;
};

}  // namespace corvane
