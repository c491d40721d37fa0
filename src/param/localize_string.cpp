#include "param/localize_string.h"

#include "foundation/replaceable_functions.h"

namespace corvane {

namespace {
LocalizeStringFunctions g_defaultLocalize;
LocalizeStringFunctions* g_localize = &g_defaultLocalize;
}  // namespace

LocalizeStringFunctions* GetLocalizeStringFunctions() { return g_localize; }

LocalizeStringFunctions* SetLocalizeStringFunctions(LocalizeStringFunctions* functions) {
  return ReplaceFunctions(g_localize, g_defaultLocalize, functions);
}

}  // namespace corvane
