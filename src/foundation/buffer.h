#pragma once

#include <cstring>

#include "foundation/ref_count.h"

namespace corvane {

// Reference-counted owner of a block of elements (Buffer<char> holds file
// contents for the in-memory file buffers). The block is value-initialised.
// Allocation failure throws std::bad_alloc like every allocation of the system.
template <class T>
class Buffer : public RefCount {
 public:
  Buffer() = default;
  explicit Buffer(int size) { Init(size); }
  ~Buffer() override { Free(); }

  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;

  // Replaces the block by a new one of `size` elements (none when size <= 0).
  void Init(int size) {
    Free();
    if (size > 0) {
      data_ = new T[size]();
      size_ = size;
    }
  }
  void Free() {
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
  }

  T* Data() { return data_; }
  const T* Data() const { return data_; }
  int Size() const { return size_; }
  T& operator[](int index) { return data_[index]; }
  const T& operator[](int index) const { return data_[index]; }

  double GetMemoryUsed() const override { return static_cast<double>(size_) * sizeof(T); }

 private:
  T* data_ = nullptr;
  int size_ = 0;
};

}  // namespace corvane
