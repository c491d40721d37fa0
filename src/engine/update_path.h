#pragma once

#include <string>

namespace corvane {

// Longest path the engine builds, in characters (terminator not counted).
inline constexpr size_t kMaxEnginePath = 1023;

// The extension of a path: from the last "." of its file-name part, which is
// what follows the last "\" or, without one, a leading drive letter and ":".
// Answers the offset of that "." or std::string::npos when there is none.
size_t PathExtensionOffset(const std::string& path);

// True when the last extension is ".upd" in any letter case (X.vbk.UPD yes,
// X.upd.bak no).
bool IsUpdateFileName(const std::string& name);

// The path without its last extension (unchanged when it has none).
std::string CutExtension(const std::string& path);

// The file-name part of a path (after the last "\" or "/", or a leading "X:").
std::string FileNamePart(const std::string& path);

}  // namespace corvane
