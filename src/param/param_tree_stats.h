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
  int64_t text_values = 0;
  int64_t float_values = 0;
  int64_t int_values = 0;
  int64_t expressions = 0;
  int64_t arrays = 0;
  int64_t array_items = 0;  // items at every nesting level, nested arrays included
  int64_t classes_with_base = 0;
  int max_depth = 0;        // deepest class nesting (the root is 0)
  size_t memory = 0;        // GetOwnMemory + GetChildMemory of the root
  uint64_t text_bytes = 0;  // text lengths and numbers read (a cheap checksum of the walk)
};

ParamTreeStats CollectParamTreeStats(const ParamClass& root);

}  // namespace corvane
