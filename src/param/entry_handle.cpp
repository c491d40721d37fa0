#include "param/entry_handle.h"

#include <utility>

#include "param/param_class.h"

namespace corvane {

EntryHandle::EntryHandle(ParamClass* cls, ParamEntry* entry) : class_(cls), entry_(entry) {
  if (class_) class_->Lock();
}

EntryHandle::EntryHandle(const EntryHandle& other) : EntryHandle(other.class_, other.entry_) {}

EntryHandle::EntryHandle(EntryHandle&& other) noexcept
    : class_(std::exchange(other.class_, nullptr)), entry_(std::exchange(other.entry_, nullptr)) {}

EntryHandle& EntryHandle::operator=(const EntryHandle& other) {
  if (this != &other) {
    if (other.class_) other.class_->Lock();  // new lock before the old goes
    ParamClass* old = std::exchange(class_, other.class_);
    entry_ = other.entry_;
    if (old) old->Unlock();
  }
  return *this;
}

EntryHandle& EntryHandle::operator=(EntryHandle&& other) noexcept {
  if (this != &other) {
    ParamClass* old = std::exchange(class_, std::exchange(other.class_, nullptr));
    entry_ = std::exchange(other.entry_, nullptr);
    if (old) old->Unlock();
  }
  return *this;
}

void EntryHandle::Reset() {
  entry_ = nullptr;
  if (ParamClass* old = std::exchange(class_, nullptr)) old->Unlock();
}

ParamClass* EntryHandle::GetClass() const { return entry_ ? entry_->AsClass() : nullptr; }

}  // namespace corvane
