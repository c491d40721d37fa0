#pragma once

// What patchbuild make checks before it does any work, so that a mistake in
// the arguments or the project is told at once, with the file and the
// reason, and never after minutes of making updates.

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "maker/patch_project.h"

namespace corvane::maker {

// The folder OUT goes into exists (it is created when missing) and a file
// can be created in it. Fails with the reason otherwise.
Result PrepareOutputFolder(const std::string& output_file);

// A win32 stub is a 32-bit x86 PE image; a native stub is an ELF program.
// Fails, naming the file and what it is instead, otherwise.
Result CheckStub(const std::string& path, bool win32);

// Whether a public key blob is the one of the repository's test key pair
// (tests/keys), which anyone can sign with.
bool IsRepositoryTestKey(const std::vector<uint8_t>& public_blob);

// The game executable (`appName`) must be in every version folder, as a
// plain file or as edition variants, and the FileVersion of each must read
// as that folder's version (as the patcher reads it): otherwise the patcher
// reports "not installed" or takes a version for another. `file_version`
// reads the FileVersion text of a file (empty when it has none).
Result CheckGameExecutables(const PatchProject& project,
                            std::string (*file_version)(const std::string& path));

// The FileVersion text of a PE file, as the patcher reads it; empty when it
// has none or is no PE image.
std::string FileVersionOfFile(const std::string& path);

}  // namespace corvane::maker
