#pragma once

#include <string>

namespace corvane::maker {

// Writes a file of the cache folder whole: the text goes to "<path>.part"
// (folders made as needed), which then replaces `path`. A reader never meets
// half a file. False when it cannot be written; nothing is left behind then.
bool WriteCacheFile(const std::string& path, const std::string& text);

}  // namespace corvane::maker
