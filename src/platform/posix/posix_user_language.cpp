#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/user_language.h"

namespace corvane::platform {

uint16_t LanguageIdFromLocaleName(const char* name) {
  if (name == nullptr) return 0x0409;
  struct Language {
    const char* code;
    uint16_t id;
  };
  static constexpr Language kLanguages[] = {
      {"de", 0x0407}, {"fr", 0x040C}, {"it", 0x0410}, {"es", 0x0C0A}, {"en", 0x0409}};
  for (const Language& language : kLanguages) {
    // "de", "de_AT.UTF-8", "de.UTF-8", "de@euro" all mean German.
    if (std::strncmp(name, language.code, 2) == 0 &&
        (name[2] == '\0' || name[2] == '_' || name[2] == '.' || name[2] == '@')) {
      return language.id;
    }
  }
  return 0x0409;
}

uint16_t UserLanguageId() {
  // The order in which the C library itself picks the messages locale.
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageIdFromLocaleName(value);
  }
  return 0x0409;
}

}  // namespace corvane::platform
