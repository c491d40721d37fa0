#pragma once

#include "foundation/r_string.h"

namespace corvane {

// Turns "$STR" texts into display texts. The default knows no string table
// and answers the text it is given.
class LocalizeStringFunctions {
 public:
  LocalizeStringFunctions() = default;
  LocalizeStringFunctions(const LocalizeStringFunctions&) = delete;
  LocalizeStringFunctions& operator=(const LocalizeStringFunctions&) = delete;
  virtual ~LocalizeStringFunctions() = default;

  // `id` is the value without its "$" (so it begins with "STR").
  virtual RString LocalizeString(const char* id) { return RString(id); }
};

// Never null; starts at a static default instance.
LocalizeStringFunctions* GetLocalizeStringFunctions();
// Installs `functions` (null restores the default); answers the previous one.
LocalizeStringFunctions* SetLocalizeStringFunctions(LocalizeStringFunctions* functions);

}  // namespace corvane
