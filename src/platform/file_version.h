#pragma once

// The FileVersion text of an executable's version resource: the string of the
// US English, Unicode block "040904b0" only, as 8-bit text of at most 255
// characters (longer texts are cut). Empty when the file has none, cannot be
// read, or keeps its strings under another language or code page.
//
// win32: GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA on
// "\StringFileInfo\040904b0\FileVersion". posix: src/pe reads the file.

#include <string>

namespace corvane::platform {

std::string QueryFileVersion(const char* path);

}  // namespace corvane::platform
