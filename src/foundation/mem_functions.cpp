#include "foundation/mem_functions.h"

#include <new>

#include "foundation/replaceable_functions.h"

namespace corvane {

namespace {

constinit MemFunctions g_default_mem_functions;
constinit MemFunctions* g_mem_functions = &g_default_mem_functions;

}  // namespace

void* MemFunctions::New(size_t size) { return ::operator new(size == 0 ? 1 : size); }

void MemFunctions::Delete(void* block) { ::operator delete(block); }

bool MemFunctions::ResizeInPlace(void*, size_t) { return false; }

MemFunctions* GetMemFunctions() { return g_mem_functions; }

MemFunctions* SetMemFunctions(MemFunctions* functions) {
  return ReplaceFunctions(g_mem_functions, g_default_mem_functions, functions);
}

}  // namespace corvane
