#pragma once

#include <cstdint>
#include <string>

#include "platform/file_io.h"
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

// How the steps and the whole-file copy reach an installed file: opening it
// for reading before it is updated, and moving the proven new content over
// it. Null restores the platform's. Tests replace them to play a file held by
// another program, which the platform says as FileFault::kInUse or
// kAccessDenied.
using InstalledOpenFunction = platform::FileFault (*)(const char* path);
using ReplaceFunction = platform::FileFault (*)(const char* from, const char* to);
void SetInstalledOpenFunction(InstalledOpenFunction function);
void SetReplaceFunction(ReplaceFunction function);

// Free-space callback of a step. For each matching name whose installed file
// exists: not enough room raises the disk-full flag and stops. A missing
// installed file stops the check silently (the update reports it).
bool StepSpaceCallback(const platform::ResourceModule* module, int type, const char* name,
                       PatchContext* context);

// Update callback of a step. For each matching name: extracts the update
// beside the installed file, finds the installed file under the name its
// directory stores (its letter case is kept), rebuilds the new content into
// "<file less extension>.tmp", proves it against the target version's
// checksum list (any of the values of the file's line, or of its edition
// variants' lines; no list or no line leaves the update's own byte sum as the
// only check) and moves it over the installed file in one rename. The
// installed file is never missing, even when the rename fails, and a
// read-only one is replaced and read-only again afterwards. An unchanged or
// deletion update leaves the installed file untouched. A failed application
// or a result the list refuses asks Abort / Retry (a fresh application) /
// Ignore (replace with whatever was produced: a refused result is gone, so
// the installed file stays and the step fails). An installed file held by
// another program, or a folder where the work files cannot be made, asks
// Retry/Cancel instead (Cancel stops with the installed file untouched). Work
// files are made exclusively, never through a link (engine/work_file.h), and
// removed on every way out. The window is pumped after the file and while a
// large file is rebuilt and checked. Failures raise the error flag, set the
// failed file and stop the enumeration.
bool StepUpdateCallback(const platform::ResourceModule* module, int type, const char* name,
                        PatchContext* context);

// Copies the whole files of the context's names (collected for the current
// prefix and narrowed to one variant per distribution group). Each is
// extracted to a work file beside its target, the installation directory plus
// the name less the prefix and less a distribution suffix ("<target>.part"),
// proven against the patch version's checksum list under its payload name
// less the prefix (suffix included), and only then renamed over the installed
// file (a read-only one stays read-only); a bad copy is deleted and the
// installed file stays. Failures to extract or to prove a file ask
// Abort / Retry (extract again) / Ignore, naming the installed path (the
// target less the installation directory); Ignore goes on only past a file
// whose installed copy is present, otherwise the pass fails. An installed
// file held by another program or an unwritable folder asks Retry/Cancel.
// Abort or Cancel raises the error flag, sets the failed file (the path below
// the installation directory) and ends the pass. The window is pumped after
// every file.
// A whole file found staged for its target (the context's staged files) is
// taken as extracted.
void CopyWholeFiles(PatchContext* context);

// Where a whole file goes: `directory` (the installation directory) plus the
// payload name less the pass prefix (`rest`), less a distribution suffix
// (from a last "." followed by "#").
std::string WholeFileTarget(const std::string& directory, const char* rest);

}  // namespace corvane
