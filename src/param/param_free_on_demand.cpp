#include "param/param_free_on_demand.h"

#include "param/param_class.h"

namespace corvane {

void MemoryFreeOnDemandHelper::AddToList(ParamClass* cls) {
  if (cls->in_list_) return;
  cls->in_list_ = true;
  cls->prev_in_list_ = tail_;
  cls->next_in_list_ = nullptr;
  if (tail_) {
    tail_->next_in_list_ = cls;
  } else {
    head_ = cls;
  }
  tail_ = cls;
  ++count_;
}

void MemoryFreeOnDemandHelper::RemoveFromList(ParamClass* cls) {
  if (!cls->in_list_) return;
  if (cls->prev_in_list_) {
    cls->prev_in_list_->next_in_list_ = cls->next_in_list_;
  } else {
    head_ = cls->next_in_list_;
  }
  if (cls->next_in_list_) {
    cls->next_in_list_->prev_in_list_ = cls->prev_in_list_;
  } else {
    tail_ = cls->prev_in_list_;
  }
  cls->prev_in_list_ = cls->next_in_list_ = nullptr;
  cls->in_list_ = false;
  --count_;
}

void MemoryFreeOnDemandHelper::EmptyList() {
  while (head_) RemoveFromList(head_);
}

size_t MemoryFreeOnDemandHelper::FreeOnDemand(size_t bytes) {
  size_t released = 0;
  while (head_ && released < bytes) {
    ParamClass* cls = head_;
    size_t freed = UnloadClass(cls);
    // A class that could not go leaves the list so the loop moves on.
    if (freed == 0 && head_ == cls) RemoveFromList(cls);
    released += freed;
  }
  return released;
}

size_t MemoryFreeOnDemandHelper::MemoryControlled() const {
  size_t total = 0;
  for (const ParamClass* c = head_; c; c = c->next_in_list_) {
    total += c->GetOwnMemory() + c->GetChildMemory();
  }
  return total;
}

}  // namespace corvane
