#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

class ParamClass;
class IParamArrayValue;

// What a walk over a whole tree finds. The walk reads every entry, value
// and item (loading placeholders on the way), so it also serves as the
// "touch everything" pass of benchmarks and fuzzing.
struct ParamTreeStats {
  int64_t classes = 0;       // defined classes below the root
  int64_t declarations = 0;  // declared-only classes
  int64_t deletions = 0;     // deletion markers
  int64_t textValues = 0;
  int64_t floatValues = 0;
  int64_t intValues = 0;
  int64_t expressions = 0;
  int64_t arrays = 0;
  int64_t arrayItems = 0;  // items at every nesting level, nested arrays included
  int64_t classesWithBase = 0;
  int maxDepth = 0;        // deepest class nesting (the root is 0)
  size_t memory = 0;       // GetOwnMemory + GetChildMemory of the root
  uint64_t textBytes = 0;  // text lengths and numbers read (a cheap checksum of the walk)
};

ParamTreeStats CollectParamTreeStats(const ParamClass& root);

}  // namespace corvane
