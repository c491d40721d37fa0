#pragma once

#include <cstddef>

namespace corvane {

class ParamClass;

// The list of classes that may be unloaded when memory is short: classes
// with no lock whose source can give their body back. Locking a class takes
// it out; the last unlock puts it back. The list is kept oldest first, so the
// class released longest ago goes first.
class MemoryFreeOnDemandHelper {
 public:
  MemoryFreeOnDemandHelper() = default;
  MemoryFreeOnDemandHelper(const MemoryFreeOnDemandHelper&) = delete;
  MemoryFreeOnDemandHelper& operator=(const MemoryFreeOnDemandHelper&) = delete;
  virtual ~MemoryFreeOnDemandHelper() = default;

  void AddToList(ParamClass* cls);
  void RemoveFromList(ParamClass* cls);
  // Forgets every class in the list (before the whole tree goes away).
  void EmptyList();
  ParamClass* FirstInList() const { return head_; }
  int ListCount() const { return count_; }

  // Unloads classes from the list, oldest first, until at least `bytes` were
  // released or the list is empty; answers the bytes released.
  size_t FreeOnDemand(size_t bytes);
  // Bytes held by the classes in the list.
  size_t MemoryControlled() const;

 protected:
  // Replaces `cls` by a placeholder; answers the bytes released (0 when the
  // class could not be unloaded).
  virtual size_t UnloadClass(ParamClass* cls) = 0;

 private:
  ParamClass* head_ = nullptr;
  ParamClass* tail_ = nullptr;
  int count_ = 0;
};

}  // namespace corvane
