#pragma once

namespace corvane {

class ParamClass;
class ParamEntry;

// The result of a lookup: an entry and the class that keeps it alive. While
// the handle lives, that class (the class holding the entry, or the found
// class itself) holds one lock, so it cannot be unloaded. Copies take their
// own lock; destroying or resetting the handle releases it. An empty handle
// means that nothing was found.
class EntryHandle {
 public:
  EntryHandle() = default;
  // Locks `cls` (when not null).
  EntryHandle(ParamClass* cls, ParamEntry* entry);
  EntryHandle(const EntryHandle& other);
  EntryHandle(EntryHandle&& other) noexcept;
  EntryHandle& operator=(const EntryHandle& other);
  EntryHandle& operator=(EntryHandle&& other) noexcept;
  ~EntryHandle() { Reset(); }

  void Reset();

  ParamEntry* GetEntry() const { return entry_; }
  ParamClass* GetLockedClass() const { return class_; }
  // The entry as a class, or null.
  ParamClass* GetClass() const;

  bool IsNull() const { return entry_ == nullptr; }
  explicit operator bool() const { return entry_ != nullptr; }
  ParamEntry* operator->() const { return entry_; }
  ParamEntry& operator*() const { return *entry_; }

 private:
  ParamClass* class_ = nullptr;
  ParamEntry* entry_ = nullptr;
};

}  // namespace corvane
