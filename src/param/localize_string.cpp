#include "param/localize_string.h"

namespace corvane {

namespace {
LocalizeStringFunctions g_defaultLocalize;
LocalizeStringFunctions* g_localize = &g_defaultLocalize;
}  // namespace

LocalizeStringFunctions* GetLocalizeStringFunctions() { return g_localize; }

LocalizeStringFunctions* SetLocalizeStringFunctions(LocalizeStringFunctions* functions) {
  LocalizeStringFunctions* previous = g_localize;
  g_localize = functions ? functions : &g_defaultLocalize;
  return previous;
}

}  // namespace corvane
