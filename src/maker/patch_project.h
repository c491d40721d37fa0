#pragma once

// A patch project: everything a patch maker keeps to make one patcher
// (docs/making-a-patch.md).
//
//   PROJECT/version.cfg.txt      the manifest in the configuration text form
//   PROJECT/versions/<M.NN>/     the full tree of each released version; every
//                                version from the oldest folder up to the
//                                manifest's "version" needs its folder
//   PROJECT/files/All/ ...       whole files copied by every patch run
//   PROJECT/files/Add/ ...       whole files copied by every run
//   PROJECT/files/<M.NN>/ ...    whole files copied onto that installed version
//   PROJECT/signing-key.txt      one line: the private key (PEM), relative to
//                                the project, unless --key names one
//   PROJECT/.cache/              update files kept between makes
//
// A file named "X.#EDITION" is the variant of X for one distribution, in a
// version tree as in the whole-file folders.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::maker {

struct ProjectFile {
  // Path below its folder, backslashes, case as on disk, in code page 1252
  // (the patcher's names): converted from the project's UTF-8 once, here.
  std::string relative;
  std::string path;  // host path of the file (for a link: of the file it names)
  uint64_t size = 0;
};

// Files keyed by FoldName of the relative path (payload names ignore case).
using ProjectTree = std::map<std::string, ProjectFile>;

struct ReleasedVersion {
  std::string text;  // "1.02"
  int number = 0;    // 102
  ProjectTree files;
};

struct PatchProject {
  std::string root;
  std::string manifest_path;
  std::vector<uint8_t> manifest;  // binary form
  std::string version;            // "version" of the manifest
  std::string app_name;           // "appName"
  bool is_patch = false;
  std::vector<std::string> distributions;  // class names of "Distributions"
  std::vector<ReleasedVersion> versions;   // ascending; the last is `version`
  // Whole files by payload name ("All\MAPS\X.MAP.#GOLD"), keyed upper-case.
  ProjectTree whole_files;
  std::string key_pem;
  std::string key_path;
};

// Upper-cases ASCII letters.
std::string UpperAscii(std::string text);

// The letter case a code page 1252 name is stored and compared in: a-z and
// every letter of the code page that has an upper case (as the payload's
// resource names are stored, and as Windows compares file names).
std::string FoldName(const std::string& cp1252);

// "M.NN" (exactly two minor digits, as payload names print versions) as
// M * 100 + NN; -1 for anything else.
int VersionNumberOfFolder(const std::string& text);

// Lists every file below `dir` into *tree. A symbolic link to a file inside
// `project_root` is listed as that file. Fails, with a message naming the
// file, when the folder cannot be listed, when two names differ only by
// letter case, for a link to anything else (outside the project, a folder,
// nothing) or another kind of entry, and for a name that code page 1252
// cannot hold or that is no safe payload name.
Result ListProjectTree(const std::string& dir, const std::string& project_root, ProjectTree* tree);

// Reads the whole project. Fails, with a message that names the file and line
// or the folder at fault, when the manifest does not parse or lacks or
// mistypes a key the patcher reads strictly, when a version folder is
// missing, or when the key cannot be read. `key_override` (may be empty)
// replaces signing-key.txt.
Result LoadPatchProject(const std::string& root, const std::string& key_override,
                        PatchProject* project);

}  // namespace corvane::maker
