#pragma once

// The sample game of the end-to-end tests and the demo: a handful of files
// whose contents change from version to version (1.00, 1.01, ...), a game
// executable whose version resource tells the version, and a ready-made patch
// payload between two versions.

#include <map>
#include <string>
#include <vector>

#include "payload_builder.h"
#include "scratch_install.h"

namespace corvane::e2e {

using FileSet = std::map<std::string, Bytes>;  // relative path (backslashes) -> bytes

inline constexpr const char* kSampleKey = "Software\\Corvane Samples\\Sample Game";
inline constexpr const char* kSampleExe = "GAME.EXE";

std::string VersionText(int minor);  // "1.0<minor>"

// The files of the sample game at version 1.<minor>. `scale` multiplies the
// size of the data files (the interruption test wants many larger files);
// `extra_files` adds that many more data files.
FileSet SampleGameFiles(int minor, int scale = 1, int extra_files = 0);

// Installs a file set into the game directory and registers the game.
bool InstallFiles(const ScratchInstall& install, const FileSet& files);

// The files of a version folder as an installation of `edition` holds them:
// variants "<name>.#<edition>" of that edition lose their suffix, other
// editions' variants are not there.
FileSet EditionFiles(const FileSet& version, const std::string& edition);

struct SamplePatchOptions {
  int from_minor = 0;
  int to_minor = 2;
  int scale = 1;
  int extra_files = 0;
};

// A patch from 1.<from> to 1.<to>: one update per changed file and step,
// checksum lists of every version, the header keys. The caller adds what the
// scenario needs and then Seals.
void MakeSamplePatch(PayloadBuilder* builder, const SamplePatchOptions& options);

}  // namespace corvane::e2e
