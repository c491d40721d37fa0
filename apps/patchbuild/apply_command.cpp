// patchbuild apply OLD UPDATE OUT: rebuilds the new file from an old file and
// an update file, exactly as the patcher does, and reports the result.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "command_registry.h"
#include "engine/apply_patch.h"
#include "engine/update_format.h"
#include "platform/file_system.h"

namespace {

struct ApplyOptions {
  std::string old_path;
  std::string update_path;
  std::string output_path;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

int FirstByte(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  int byte = std::fgetc(file);
  std::fclose(file);
  return byte;
}

corvane::Result RunApply(const ApplyOptions& options) {
  using namespace corvane;
  // Writing over one of the inputs would truncate a file that is being read:
  // the new file then goes to a temporary name and replaces OUT in one rename.
  bool in_place = SameFile(options.output_path, options.old_path) ||
                  SameFile(options.output_path, options.update_path);
  std::string target = in_place ? options.output_path + ".tmp" : options.output_path;

  std::unique_ptr<IPatchAction> action(NewApplyPatch());
  if (!action) {
    return patchbuild::Failure(corvane::ErrorCode::kSystem, "out of memory");
  }
  int result =
      action->Process(target.c_str(), options.update_path.c_str(), options.old_path.c_str(), true);
  action.reset();  // releases the inputs before anything is renamed

  switch (result) {
    case kPatchDone:
      if (in_place && !platform::RenameReplacing(target.c_str(), options.output_path.c_str())) {
        platform::RemoveFile(target.c_str());
        return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot replace %s",
                                   options.output_path.c_str());
      }
      std::printf("done: %s written and verified\n", options.output_path.c_str());
      return {};
    case kPatchNothingToDo:
      if (FirstByte(options.update_path) == update_format::kKindDelete) {
        std::printf("nothing to do: the update deletes the file (%s not written)\n",
                    options.output_path.c_str());
      } else {
        std::printf("nothing to do: the update leaves the file unchanged (%s not written)\n",
                    options.output_path.c_str());
      }
      return {};
    default:
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "the update %s cannot be applied to %s",
                                 options.update_path.c_str(), options.old_path.c_str());
  }
}

void AddApply(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<ApplyOptions>();
  CLI::App* command = app.add_subcommand(
      "apply",
      "Rebuild the new file from OLD and UPDATE into OUT, as the patcher does "
      "(exit 0: done or nothing to do, 1: failure; messages also go to patch.log)");
  command->add_option("OLD", options->old_path, "the file before the step (may be missing)")
      ->required();
  command->add_option("UPDATE", options->update_path, "the update file (.upd)")->required();
  command->add_option("OUT", options->output_path, "where the new file is written")->required();
  patchbuild::RunsCommand(command, outcome, [options] { return RunApply(*options); });
}

patchbuild::CommandRegistration registration("apply", &AddApply);

}  // namespace
