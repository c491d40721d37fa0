#pragma once

#include <cstdint>
#include <utility>

#include "foundation/bitwise_movable.h"

namespace corvane {

// Intrusive reference-count base of shared objects. The count starts at 0;
// whoever holds the object adds a reference and releases it when done. When a
// release takes the count from 1 to 0, OnZeroRefs runs, which deletes the
// object unless a subclass says otherwise. Copying an object never copies its
// count. Single-threaded, like the rest of the system.
class RefCount {
 public:
  RefCount() = default;
  RefCount(const RefCount&) {}
  RefCount& operator=(const RefCount&) { return *this; }
  virtual ~RefCount() = default;

  // A hook for subclasses; no effect by default.
  virtual void OnUnusedHook() {}
  // Runs when the last reference goes; deletes the object by default.
  virtual void OnZeroRefs() { delete this; }
  // Bytes the object holds, for memory statistics; 0 by default.
  virtual double GetMemoryUsed() const { return 0; }

  int AddRef() const { return ++count_; }
  // Answers the count after the release; the object may be gone when 0.
  int Release() const {
    int left = --count_;
    if (left == 0) const_cast<RefCount*>(this)->OnZeroRefs();
    return left;
  }
  int RefCounter() const { return count_; }

 private:
  mutable int32_t count_ = 0;
};

// Owning handle of a RefCount-derived object. Assignment adds the reference
// on the new object before releasing the old one, so assigning a handle to
// itself (or to a handle whose object only it keeps alive) is safe. A moved-
// from handle is null; moves never touch the count, so a Ref may also be
// relocated bytewise inside an AutoArray.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(T* object) : object_(object) {  // NOLINT: handles convert from raw pointers
    if (object_) object_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& other) : Ref(other.GetRef()) {}
  ~Ref() { Free(); }

  Ref& operator=(T* object) {
    if (object) object->AddRef();
    T* old = std::exchange(object_, object);
    if (old) old->Release();
    return *this;
  }
  // NOLINTNEXTLINE(bugprone-unhandled-self-assignment): operator=(T*) is safe for self-assignment
  Ref& operator=(const Ref& other) { return *this = other.object_; }
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      T* old = std::exchange(object_, std::exchange(other.object_, nullptr));
      if (old) old->Release();
    }
    return *this;
  }

  void Free() {
    if (T* old = std::exchange(object_, nullptr)) old->Release();
  }

  T* GetRef() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  bool IsNull() const { return object_ == nullptr; }
  bool NotNull() const { return object_ != nullptr; }
  explicit operator bool() const { return object_ != nullptr; }

  friend bool operator==(const Ref& a, const Ref& b) { return a.object_ == b.object_; }

 private:
  T* object_ = nullptr;
};

// One pointer to the object; its count lives in the object.
template <class T>
inline constexpr bool kBitwiseMovable<Ref<T>> = true;

}  // namespace corvane
