#pragma once

#include <map>
#include <string>
#include <vector>

namespace corvane {

namespace platform {
class ResourceModule;
}

// Whole files written to their work files ahead of their pass. A run whose
// payload is checked against its signed item list has to wait for the
// digests before it may change anything; meanwhile it writes the whole files
// it will install to "<target>.part". Nothing installed changes: the pass
// later proves each staged file against its list and renames it into place,
// as if it had just extracted it. What no pass took, and the folders made
// for it that are empty again, are removed when the staging ends, so a run
// refused after staging leaves the installation as it found it.
class StagedWholeFiles {
 public:
  StagedWholeFiles() = default;
  ~StagedWholeFiles() { Discard(); }
  StagedWholeFiles(const StagedWholeFiles&) = delete;
  StagedWholeFiles& operator=(const StagedWholeFiles&) = delete;

  // Writes payload item `name` to the work file of `target` (a path below
  // `installation_directory`, which ends in a backslash), making the folders
  // it lacks. Tells nothing: false, with nothing left behind, when it could
  // not, or when that work file is staged already (from any item).
  bool Stage(const platform::ResourceModule& module, const char* name, const std::string& target,
             const std::string& installation_directory);

  // True when the work file of `target` was staged from `name`; from then on
  // it is the caller's (Discard leaves it).
  bool Take(const char* name, const std::string& target);

  // Removes every staged work file not taken, then the folders made for them
  // that are empty, the deepest first.
  void Discard();

  size_t Count() const { return parts_.size(); }

 private:
  bool MakeFolders(const std::string& target, const std::string& installation_directory);

  std::map<std::string, std::string> parts_;  // work file path -> payload name
  std::vector<std::string> folders_;          // made here, in the order made
};

}  // namespace corvane
