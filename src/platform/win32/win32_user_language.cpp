#include <windows.h>

#include "platform/user_language.h"

namespace corvane::platform {

uint16_t UserLanguageId() { return GetUserDefaultLangID(); }

uint16_t LanguageIdFromLocaleName(const char* name) {
  if (name == nullptr) return 0x0409;
  auto is = [name](const char* code) {
    return name[0] == code[0] && name[1] == code[1] &&
           (name[2] == '\0' || name[2] == '_' || name[2] == '.' || name[2] == '@');
  };
  if (is("de")) return 0x0407;
  if (is("fr")) return 0x040C;
  if (is("it")) return 0x0410;
  if (is("es")) return 0x0C0A;
  return 0x0409;
}

}  // namespace corvane::platform
