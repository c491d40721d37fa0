#pragma once

#include <cstdint>
#include <string>

#include "run/patch_context.h"

namespace corvane {

namespace platform {
class ResourceModule;
}

// The three pieces of a patch run that change game files: the free-space
// check and the update of one version step (both payload enumeration
// callbacks, see payload_store.h), and the copy of whole files.
//
// A version step's payload names are <prefix><target version>\<rest>, for
// example "1.01-1.02\ADDONS\X.VBK.UPD" with the prefix "1.01-": the update
// file of the installed file <installation directory>ADDONS\X.VBK.

// Matches a payload name against a step prefix: the name begins with the
// prefix (letter case ignored), then after one more character come digits, a
// ".", digits and a "\" (each digit run may be empty). Answers the rest after
// that "\" in *rest, or false.
bool MatchStepName(const char* name, const char* prefix, const char** rest);

// Bytes a step needs free on the volume of one file: the extracted update,
// the temporary new file and the installed file at once, plus 10 MiB. In 64
// bits, so large files cannot wrap the sum.
uint64_t StepBytesNeeded(uint64_t update_size, uint64_t file_length);

// True when the volume of `path` has at least `needed` bytes free. When the
// free space cannot be determined (no volume, as for a network path) the
// check passes.
bool HasFreeSpace(const char* path, uint64_t needed);

// Where HasFreeSpace learns the free space; null restores the platform's
// (platform::FreeDiskSpace). For tests.
using FreeSpaceFunction = bool (*)(const char* path, uint64_t* bytes);
void SetFreeSpaceFunction(FreeSpaceFunction function);

// Free-space callback of a step. For each matching name whose installed file
// exists: not enough room raises the disk-full flag and stops. A missing
// installed file stops the check silently (the update reports it).
bool StepSpaceCallback(const platform::ResourceModule* module, int type, const char* name,
                       PatchContext* context);

// Update callback of a step. For each matching name: extracts the update
// beside the installed file, finds the installed file under the name its
// directory stores (its letter case is kept), rebuilds the new content into
// "<file less extension>.tmp" and moves it over the installed file in one
// rename (a read-only file is replaced all the same); the installed file is
// never missing, even when the rename fails. An unchanged or deletion update
// leaves the installed file untouched. A failed application asks Abort /
// Retry (a fresh application) / Ignore (replace with whatever was produced).
// The extracted update and the temporary file are removed on every way out.
// Failures raise the error flag, set the failed file and stop the
// enumeration.
bool StepUpdateCallback(const platform::ResourceModule* module, int type, const char* name,
                        PatchContext* context);

// Copies the whole files of the context's names (collected for the current
// prefix and narrowed to one variant per distribution group): each is
// extracted to the installation directory plus the name less the prefix and
// less a distribution suffix, then verified against the patch version's
// checksum list under its payload name (suffix included). Extraction failures
// ask Abort/Retry/Ignore; a retry request of the verification extracts again.
// Abort or a failed verification raises the error flag, sets the failed file
// (the path below the installation directory) and ends the pass.
void CopyWholeFiles(PatchContext* context);

}  // namespace corvane
