#pragma once

// The environment variables a 32-bit program started in a Wine prefix sees, as
// far as the prefix's registry files tell them, and the expansion of %NAME% in
// an expandable registry string (REG_EXPAND_SZ) with them: what
// ExpandEnvironmentStrings does for the Windows program.
//
// A name is looked up, without regard to case, in the user's volatile and own
// variables (user.reg: "Volatile Environment", "Environment"), then the
// system's (system.reg: Session Manager\Environment), then among the folders
// Wine sets from its configuration (SystemRoot, SystemDrive, ProgramFiles,
// CommonProgramFiles, ProgramData, ALLUSERSPROFILE, PUBLIC; in a 64-bit prefix
// the 32-bit program's "Program Files (x86)"). Values that are expandable
// themselves are expanded in turn, a few levels deep. A name that is not found
// stays as it is, with its percent signs, as Windows leaves it.

#include <string>
#include <string_view>

#include "platform/posix/wine_registry_file.h"

namespace corvane::platform {

// `machine` is the prefix's system.reg, `user` its user.reg (null when there is none).
std::u16string ExpandWineEnvironment(std::u16string_view text, const WineRegistryFile& machine,
                                     const WineRegistryFile* user);

}  // namespace corvane::platform
