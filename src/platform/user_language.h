#pragma once

#include <cstdint>

namespace corvane::platform {

// The user's interface language as a Windows language id (0x0409 English,
// 0x0407 German, 0x040C French, 0x0410 Italian, 0x0C0A Spanish, ...).
// win32: GetUserDefaultLangID. posix: the first set of LC_ALL, LC_MESSAGES and
// LANG ("de_DE.UTF-8" gives 0x0407; "C", "POSIX" and unknown languages give
// English).
uint16_t UserLanguageId();

// The language id a locale name such as "fr_CA.UTF-8" stands for (the
// posix rule above); English (0x0409) for anything unknown.
uint16_t LanguageIdFromLocaleName(const char* name);

}  // namespace corvane::platform
