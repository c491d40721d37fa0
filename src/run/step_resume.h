#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

namespace platform {
class ResourceModule;
}

// Running a patch again after it was interrupted (power cut, killed process)
// must finish the job instead of refusing the installation. Within one
// version step every file is replaced by one rename, and the driver updates
// the game executable (which tells the installed version) last; so an
// interrupted step leaves every listed file either at the step's source
// version or already at its target, and the executable at the source.
//
// A step the installation is in the middle of, when every file listed for
// the source version matches either the source list or, for the same name,
// the target list, and at least one matches only the target. Files that
// match neither (or are missing) make it an ordinary damaged installation,
// which the normal verification reports.
struct InterruptedStep {
  bool interrupted = false;
  // Names (as listed) of the files already at the target version.
  std::vector<std::string> advanced;
  // Every file of the source list was read and matched it: the installation
  // is sound at the source version and needs no second reading.
  bool all_at_source = false;
  // The listed name of a file another program holds so that it cannot be
  // read; the comparison stopped there and tells nothing else.
  std::string in_use;

  bool IsAdvanced(const char* relative_name) const;
};

// Called with each listed name before its file is read, so that a window can
// show it and answer its messages; false stops the comparison (the player
// closed the window), which then finds nothing.
using StepFileProgress = std::function<bool(const char* listed_name)>;

// Compares the installation with the checksum lists "crc\<from>\crc.crc" and
// "crc\<to>\crc.crc" of the payload (versions as numbers major * 100 +
// minor). Reads files only and logs nothing. Not interrupted when either list
// is missing.
InterruptedStep FindInterruptedStep(const platform::ResourceModule& module,
                                    const char* installation_directory, int from_version,
                                    int to_version, const StepFileProgress& progress = {});

// The same comparison for a run that its journal resumes in the step from
// `from_version` to `to_version` (any step of the run, not only its first).
// A file that a later whole-file pass of the run installs (`later_files`,
// installed names relative to the installation, letter case ignored) is not
// examined: until that pass it may be missing or at any version. Every other
// required file must be at the source or, for the same name, at the target;
// those at the target are answered in step->advanced. False when a file is
// neither (a damaged installation). A missing source list examines nothing.
bool CheckResumedStep(const platform::ResourceModule& module, const char* installation_directory,
                      int from_version, int to_version, const std::vector<std::string>& later_files,
                      InterruptedStep* step, const StepFileProgress& progress = {});

// Deletes what an interrupted application of the step's update `name` may
// have left beside the installed file: the extracted update file and the
// temporary new file. Never touches the installed file itself.
void RemoveStepLeftovers(const char* installation_directory, const char* name);

// The order in which the driver applies one step's update names: as given,
// except that the update of the game executable `app_name` (the name's rest
// after the step part, less ".upd") goes last.
void MoveExecutableUpdateLast(AutoArray<RString>* names, const char* app_name);

// The installed file a step's update name rebuilds ("1.00-1.01\A\B.DAT.UPD"
// gives "A\B.DAT"); empty when the name is no step name.
std::string StepTargetName(const char* name);

}  // namespace corvane
