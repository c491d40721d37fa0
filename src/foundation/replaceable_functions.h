#pragma once

namespace corvane {

// Installs `functions` as the current set of replaceable functions, or the
// built-in set when it is null, and answers the set it replaces.
template <class Functions>
Functions* ReplaceFunctions(Functions*& current, Functions& built_in, Functions* functions) {
  Functions* previous = current;
  current = functions ? functions : &built_in;
  return previous;
}

}  // namespace corvane
