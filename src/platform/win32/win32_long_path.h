#pragma once

// Paths for the wide file calls of the win32 backend. The ANSI calls stop at
// MAX_PATH (260 characters with the terminator, 248 for a directory to be
// created), and an installation folder of up to 259 characters holds longer
// paths. The wide calls reach any length in the "\\?\" form, which takes the
// path exactly as written: so a long path is first made absolute and clean
// (GetFullPathNameW turns "/" into "\" and resolves "." and ".."), then given
// the prefix ("\\?\C:\..." or, for a share, "\\?\UNC\server\share\...").
// Shorter paths are only converted, so they mean what they meant to the ANSI
// calls (relative ones included).
//
// The 8-bit text is in the ANSI code page, as the ANSI calls take it.

#include <string>

namespace corvane::platform {

// Paths of at least this many characters take the "\\?\" form: the longest
// directory CreateDirectoryA accepts is 247 characters.
inline constexpr size_t kLongPathFrom = 248;

// The path for a wide call; "" for a null path (which no call finds).
std::wstring WidePath(const char* path);

// A name a wide call answered, in the ANSI code page (as the ANSI call would
// have answered it).
std::string NarrowName(const wchar_t* name);

}  // namespace corvane::platform
