#include "param/entry_handle.h"

#include <utility>

#include "param/param_class.h"

namespace corvane {

EntryHandle::EntryHandle(ParamClass* cls, ParamEntry* entry) : _class(cls), _entry(entry) {
  if (_class) _class->Lock();
}

EntryHandle::EntryHandle(const EntryHandle& other) : EntryHandle(other._class, other._entry) {}

EntryHandle::EntryHandle(EntryHandle&& other) noexcept
    : _class(std::exchange(other._class, nullptr)), _entry(std::exchange(other._entry, nullptr)) {}

EntryHandle& EntryHandle::operator=(const EntryHandle& other) {
  if (this != &other) {
    if (other._class) other._class->Lock();  // new lock before the old goes
    ParamClass* old = std::exchange(_class, other._class);
    _entry = other._entry;
    if (old) old->Unlock();
  }
  return *this;
}

EntryHandle& EntryHandle::operator=(EntryHandle&& other) noexcept {
  if (this != &other) {
    ParamClass* old = std::exchange(_class, std::exchange(other._class, nullptr));
    _entry = std::exchange(other._entry, nullptr);
    if (old) old->Unlock();
  }
  return *this;
}

void EntryHandle::Reset() {
  _entry = nullptr;
  if (ParamClass* old = std::exchange(_class, nullptr)) old->Unlock();
}

ParamClass* EntryHandle::GetClass() const { return _entry ? _entry->AsClass() : nullptr; }

}  // namespace corvane
