#pragma once

// Conversions between the system's 8-bit texts (Windows code page 1252, what the
// ANSI calls of the product see) and UTF-16 / UTF-8. Characters code page 1252
// cannot hold become '?', as the system's own conversion gives them.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::text {

std::string Utf16ToCp1252(std::u16string_view text);
std::u16string Cp1252ToUtf16(std::string_view text);

// ASCII-only upper case (a-z), the folding names are compared with.
char16_t AsciiUpper(char16_t c);
std::u16string AsciiUpper(std::u16string_view text);
bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b);

// The upper case resource names are stored and compared in: ASCII and every
// letter code page 1252 has in both cases (a-z, à-þ, ÿ, š, œ, ž). The system
// compares names without regard to case beyond ASCII, so a name with "é" must
// be stored and sorted as "É" to be found by its binary search.
char16_t NameUpper(char16_t c);
std::u16string NameUpper(std::u16string_view text);
bool EqualsNameNoCase(std::u16string_view a, std::u16string_view b);

// UTF-8 <-> UTF-16. Decoding takes an invalid byte as the code page 1252
// character it would be, so no input is refused.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
bool IsValidUtf8(std::string_view text);

// The code page 1252 bytes of a UTF-8 text, for names and texts a patch maker
// writes in UTF-8 and the patcher reads through the ANSI calls. Unlike the
// conversions above nothing is replaced: false, with *cp1252 holding what was
// converted before it, when the text is not valid UTF-8 or holds a character
// the code page has no byte for (the five undefined bytes and the C1
// controls count as such). *offending gets that character as UTF-8 (or the
// invalid byte) when not null.
bool Utf8ToCp1252Exact(std::string_view utf8, std::string* cp1252,
                       std::string* offending = nullptr);

}  // namespace corvane::text
