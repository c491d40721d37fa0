#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::maker {

// What the maker needs to know of a manifest besides its binary form.
struct CompiledManifest {
  std::vector<uint8_t> binary;  // "version.cfg", texts in code page 1252
  std::string version;          // "version"
  std::string app_name;         // "appName"
  bool is_patch = false;
  std::vector<std::string> distributions;  // class names of "Distributions"
};

// Parses the manifest text at `path` and checks it against the keys the
// patcher reads: every key it reads strictly must be present with the kind it
// is read as (a version as a quoted "M.NN" text, booleans and integers as
// numbers, texts quoted, arrays as arrays), and no key may be one the patcher
// does not know (a misspelt key would be silently ignored by the patcher and
// its strict twin read as empty). Fails with a message of the form
// "<file>, line <n>: <what>" (the line of the entry, or of its class when the
// entry is missing; a missing top-level key names the file only). The text is
// UTF-8: every text value is converted to code page 1252 (what the patcher
// shows), and a text the code page cannot hold is refused with its line.
Result CompileManifest(const std::string& path, CompiledManifest* manifest);

// The 1-based line of the first definition of `key` ("key =", "key[] =")
// after line `from_line`, or of "class key" when `as_class`; 0 when none.
int FindDefinitionLine(const std::string& text, const std::string& key, bool as_class,
                       int from_line = 0);

}  // namespace corvane::maker
