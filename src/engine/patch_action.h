#pragma once

#include <memory>

namespace corvane {

// Results of IPatchAction::Process and ProcessFile.
enum PatchResult : int {
  kPatchFailed = 0,       // nothing usable was produced
  kPatchDone = 1,         // the output was written (and, when applying, verified)
  kPatchNothingToDo = 2,  // nothing written: deletion, unchanged file, not an update name
};

// A per-file action of the update engine: applying an update (ApplyPatch) or
// writing one (CreatePatch, CreateDelete). The roles of the three paths of
// Process depend on the action; ProcessFile builds them by concatenating
// directories (which end in "\" or are empty) and a file name, at most 1,023
// characters each (longer paths fail the file). Actions are made by their
// factories, which hand them over owned (null when memory runs out).
class IPatchAction {
 public:
  virtual PatchResult Process(const char* first, const char* second, const char* third,
                              bool flag) = 0;
  virtual PatchResult ProcessFile(const char* first_directory, const char* second_directory,
                                  const char* third_directory, const char* name) = 0;
  // Releases the file handles; mapped windows stay until the action is deleted.
  virtual void Close() = 0;
  virtual ~IPatchAction() = default;
};

}  // namespace corvane
