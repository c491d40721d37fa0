#pragma once

#include "platform/file_io.h"

namespace corvane {

// Work files are made beside the installed files while they are replaced:
// the temporary new file of an update (X.tmp), an extracted update (X.upd)
// and a whole file being extracted (X.part). Their names are predictable, so
// whatever already sits at one (a leftover of an interrupted run, or a link
// someone planted to make the patcher overwrite a file elsewhere) is removed
// first, the link itself and never its target, and the work file is then
// created exclusively: nothing is ever written through a link.

// Creates the work file `path` for writing. kInvalidFileHandle on failure,
// with *fault (when given) telling why (an unwritable folder reads
// kAccessDenied).
platform::FileHandle CreateWorkFile(const char* path, platform::FileFault* fault = nullptr);

// What CreateWorkFile does unless a test replaced it.
platform::FileHandle CreateWorkFileOnDisk(const char* path, platform::FileFault* fault);

// Where CreateWorkFile goes; null restores CreateWorkFileOnDisk. Tests use it
// to play a folder the player may not write to.
using WorkFileCreateFunction = platform::FileHandle (*)(const char* path,
                                                        platform::FileFault* fault);
void SetWorkFileCreateFunction(WorkFileCreateFunction function);

}  // namespace corvane
