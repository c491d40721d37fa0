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

namespace corvane::maker {

struct ProjectFile {
  std::string relative;  // path below its folder, backslashes, case as on disk
  std::string path;      // host path of the file
  uint64_t size = 0;
};

// Files keyed by the upper-cased relative path (payload names ignore case).
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
  std::vector<ReleasedVersion> versions;  // ascending; the last is `version`
  // Whole files by payload name ("All\MAPS\X.MAP.#GOLD"), keyed upper-case.
  ProjectTree whole_files;
  std::string key_pem;
  std::string key_path;
};

// Upper-cases ASCII letters.
std::string UpperAscii(std::string text);

// "M.NN" (exactly two minor digits, as payload names print versions) as
// M * 100 + NN; -1 for anything else.
int VersionNumberOfFolder(const std::string& text);

// Lists every regular file below `dir` into *tree. False (error set) when it
// cannot be listed or two files differ only by letter case.
bool ListProjectTree(const std::string& dir, ProjectTree* tree, std::string* error);

// Reads the whole project. False, with a message that names the file and line
// or the folder at fault, when the manifest does not parse or lacks or
// mistypes a key the patcher reads strictly, when a version folder is
// missing, or when the key cannot be read. `key_override` (may be empty)
// replaces signing-key.txt.
bool LoadPatchProject(const std::string& root, const std::string& key_override,
                      PatchProject* project, std::string* error);

}  // namespace corvane::maker
