#pragma once

// The FileVersion text of a version resource: the string "FileVersion" of the
// US English, Unicode string block "040904b0" only, as the system's version
// query gives it. Blocks of other languages or code pages are not read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "pe/pe_image.h"
#include "pe/resource_tree.h"

namespace corvane::pe {

// The installed-version field holds 255 characters and a terminating zero.
inline constexpr size_t kMaxFileVersionLength = 255;

// FileVersion of a VS_VERSION_INFO block, converted to code page 1252, cut at
// the first zero and to kMaxFileVersionLength characters. Empty when the block
// has no such string or is malformed; never reads outside [block, block + size).
std::string FileVersionFromBlock(const uint8_t* block, size_t size);

// FileVersion of the image's version resource (type 16, id 1, first language).
std::string FileVersionOfImage(const ResourceTree& resources);

}  // namespace corvane::pe
