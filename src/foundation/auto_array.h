#pragma once

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/app_frame.h"
#include "foundation/bitwise_movable.h"
#include "foundation/mem_functions.h"

namespace corvane {

// Growable array: storage from the process-wide MemFunctions, a count in use
// and an allocated number. Elements are relocated by a plain byte copy when
// the storage moves or when Delete/Insert shift them, so T must survive being
// moved bitwise (kBitwiseMovable: RString, Ref, pointers and plain records
// do; the compiler checks it where elements are relocated); relocation
// never runs constructors or destructors, so reference counts stay as they are.
// Element access is unchecked.
template <class T>
class AutoArray {
 public:
  AutoArray() = default;
  AutoArray(const AutoArray& other) { CopyFrom(other); }
  AutoArray(AutoArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        count_(std::exchange(other.count_, 0)),
        allocated_(std::exchange(other.allocated_, 0)) {}
  ~AutoArray() { Clear(); }

  AutoArray& operator=(const AutoArray& other) {
    if (this != &other) {
      Clear();
      CopyFrom(other);
    }
    return *this;
  }
  AutoArray& operator=(AutoArray&& other) noexcept {
    if (this != &other) {
      Clear();
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
      allocated_ = std::exchange(other.allocated_, 0);
    }
    return *this;
  }

  // Appends; when full, grows to count + max(allocated / 2, 32) first.
  void Add(const T& value) {
    if (count_ >= allocated_) {
      // `value` may live in this array; keep a copy across the move.
      T copy(value);
      Reserve(count_ + 1, count_ + std::max(allocated_ / 2, 32));
      new (&data_[count_]) T(std::move(copy));
    } else {
      new (&data_[count_]) T(value);
    }
    ++count_;
  }

  // Inserts before `index` (clamped to [0, count]), shifting the rest up.
  void Insert(int index, const T& value) {
    if (index < 0) index = 0;
    if (index > count_) index = count_;
    T copy(value);
    if (count_ >= allocated_) Reserve(count_ + 1, count_ + std::max(allocated_ / 2, 32));
    Relocate(data_ + index + 1, data_ + index, count_ - index);
    new (&data_[index]) T(std::move(copy));
    ++count_;
  }

  // Sets the count: new elements are value-initialised (null for RString),
  // elements beyond n are destroyed.
  void Resize(int n) {
    if (n < 0) n = 0;
    if (n > allocated_) Reserve(n, n - 1 + std::max(allocated_ / 2, 32));
    for (int i = count_; i < n; ++i) new (&data_[i]) T();
    for (int i = n; i < count_; ++i) data_[i].~T();
    count_ = n;
  }

  // Reallocates to exactly max_size when the allocated number is below
  // min_size or above max_size.
  void Reserve(int min_size, int max_size) {
    if (allocated_ < min_size || allocated_ > max_size) Realloc(max_size);
  }

  // Sets the allocated number to exactly n, destroying elements beyond it.
  void Realloc(int n) {
    if (n < 0) n = 0;
    if (n == allocated_) return;
    if (n < count_) Resize(n);
    MemFunctions* mem = GetMemFunctions();
    if (data_ && n > 0 && mem->ResizeInPlace(data_, ElementSize() * static_cast<size_t>(n))) {
      allocated_ = n;
      return;
    }
    T* storage = nullptr;
    if (n > 0) {
      storage = static_cast<T*>(mem->New(ElementSize() * static_cast<size_t>(n)));
      if (count_ > 0) {
        Relocate(storage, data_, count_);
      }
    }
    if (data_) mem->Delete(data_);
    data_ = storage;
    allocated_ = n;
  }

  // Removes `count` elements from `index` on. An index or count outside the
  // elements in use reports "Array index out of range" and changes nothing.
  void Delete(int index, int count = 1) {
    if (index < 0 || count < 0 || index > count_ || count > count_ - index) {
      ReportInternalError(__FILE__, __LINE__, "Array index out of range");
      return;
    }
    for (int i = index; i < index + count; ++i) data_[i].~T();
    Relocate(data_ + index, data_ + index + count, count_ - index - count);
    count_ -= count;
  }

  // Destroys all elements and frees the storage.
  void Clear() {
    for (int i = 0; i < count_; ++i) data_[i].~T();
    if (data_) GetMemFunctions()->Delete(data_);
    data_ = nullptr;
    count_ = 0;
    allocated_ = 0;
  }

  int Size() const { return count_; }
  int MaxSize() const { return allocated_; }
  bool IsEmpty() const { return count_ == 0; }
  T* Data() { return data_; }
  const T* Data() const { return data_; }
  T& operator[](int index) { return data_[index]; }
  const T& operator[](int index) const { return data_[index]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

 private:
  // Elements are often pointers; the size of the pointer is the one meant.
  // NOLINTNEXTLINE(bugprone-sizeof-expression): sizeof(T*) is the element size here
  static constexpr size_t ElementSize() { return sizeof(T); }

  // Moves `count` elements bytewise (the ranges may overlap); the old bytes
  // are dropped without destroying them.
  static void Relocate(T* to, const T* from, int count) {
    static_assert(kBitwiseMovable<T>, "AutoArray relocates its elements bytewise");
    std::memmove(static_cast<void*>(to), static_cast<const void*>(from),
                 ElementSize() * static_cast<size_t>(count));
  }

  void CopyFrom(const AutoArray& other) {
    if (other.count_ == 0) return;
    Realloc(other.count_);
    for (int i = 0; i < other.count_; ++i) new (&data_[i]) T(other.data_[i]);
    count_ = other.count_;
  }

  T* data_ = nullptr;
  int count_ = 0;
  int allocated_ = 0;
};

}  // namespace corvane
