#pragma once

#include <cstddef>

namespace corvane {

// Process-wide memory service of the containers. Allocation failure throws
// std::bad_alloc (the program's only exception); nothing catches it.
class MemFunctions {
 public:
  constexpr MemFunctions() = default;
  virtual ~MemFunctions() = default;

  // A block of at least `size` bytes (never null; size 0 gives a valid block).
  virtual void* New(size_t size);
  // Frees a block from New; null is ignored.
  virtual void Delete(void* block);
  // Tries to resize `block` in place; answers false when it cannot. The
  // default always refuses, so callers must be ready to move their data.
  virtual bool ResizeInPlace(void* block, size_t size);

  MemFunctions(const MemFunctions&) = delete;
  MemFunctions& operator=(const MemFunctions&) = delete;
};

// The current memory functions; never null.
MemFunctions* GetMemFunctions();
// Installs `functions` (null restores the default) and answers the previous one.
// Blocks must be freed by the object that allocated them.
MemFunctions* SetMemFunctions(MemFunctions* functions);

}  // namespace corvane
