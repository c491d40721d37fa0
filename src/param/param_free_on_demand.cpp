#include "param/param_free_on_demand.h"

#include "param/param_class.h"

namespace corvane {

void MemoryFreeOnDemandHelper::AddToList(ParamClass* cls) {
  if (cls->_inList) return;
  cls->_inList = true;
  cls->_prevInList = _tail;
  cls->_nextInList = nullptr;
  if (_tail) {
    _tail->_nextInList = cls;
  } else {
    _head = cls;
  }
  _tail = cls;
  ++_count;
}

void MemoryFreeOnDemandHelper::RemoveFromList(ParamClass* cls) {
  if (!cls->_inList) return;
  if (cls->_prevInList) {
    cls->_prevInList->_nextInList = cls->_nextInList;
  } else {
    _head = cls->_nextInList;
  }
  if (cls->_nextInList) {
    cls->_nextInList->_prevInList = cls->_prevInList;
  } else {
    _tail = cls->_prevInList;
  }
  cls->_prevInList = cls->_nextInList = nullptr;
  cls->_inList = false;
  --_count;
}

void MemoryFreeOnDemandHelper::EmptyList() {
  while (_head) RemoveFromList(_head);
}

size_t MemoryFreeOnDemandHelper::FreeOnDemand(size_t bytes) {
  size_t released = 0;
  while (_head && released < bytes) {
    ParamClass* cls = _head;
    size_t freed = UnloadClass(cls);
    // A class that could not go leaves the list so the loop moves on.
    if (freed == 0 && _head == cls) RemoveFromList(cls);
    released += freed;
  }
  return released;
}

size_t MemoryFreeOnDemandHelper::MemoryControlled() const {
  size_t total = 0;
  for (const ParamClass* c = _head; c; c = c->_nextInList) {
    total += c->GetOwnMemory() + c->GetChildMemory();
  }
  return total;
}

}  // namespace corvane
