// patchbuild diff OLD NEW OUT: writes the update file that turns OLD into NEW
// (a missing OLD: the update that creates NEW). With --delete, NEW must not
// exist and OUT is the deletion update of OLD: a missing NEW is otherwise an
// error, as it is most often a typing mistake. With --compact the update
// copies from anywhere in OLD (CreateCompactPatch): smaller, other bytes.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "command_registry.h"
#include "engine/writer/compact_update.h"
#include "engine/writer/create_patch.h"
#include "platform/file_system.h"

namespace {

struct DiffOptions {
  std::string old_path;
  std::string new_path;
  std::string update_path;
  bool if_stale = false;
  bool delete_old = false;
  bool compact = false;
};

// The update format keeps sizes in signed 32-bit fields.
constexpr uint64_t kMaxUpdatedFileSize = 0x7FFFFFFFull;

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

corvane::Result RunDiff(const DiffOptions& options) {
  using namespace corvane;
  const char* out = options.update_path.c_str();
  // Writing the update over an input would truncate a file being read.
  if (SameFile(options.update_path, options.old_path) ||
      SameFile(options.update_path, options.new_path)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "OUT must not be OLD or NEW: %s",
                               out);
  }
  const bool new_exists = platform::FileExists(options.new_path.c_str());
  const bool deletion = options.delete_old;
  if (deletion && new_exists) {
    return patchbuild::Failure(
        corvane::ErrorCode::kInvalidInput,
        "--delete: NEW %s exists (a deletion update is made when the file is gone)",
        options.new_path.c_str());
  }
  if (deletion && !platform::FileExists(options.old_path.c_str())) {
    return patchbuild::Failure(corvane::ErrorCode::kNotFound,
                               "--delete: OLD %s does not exist; there is nothing to delete",
                               options.old_path.c_str());
  }
  if (!deletion && !new_exists) {
    return patchbuild::Failure(
        corvane::ErrorCode::kNotFound,
        "NEW %s does not exist (give --delete for the update that deletes OLD)",
        options.new_path.c_str());
  }
  for (const std::string* path : {&options.old_path, &options.new_path}) {
    uint64_t size = 0;
    if (!deletion && platform::FileSizeOf(path->c_str(), &size) && size > kMaxUpdatedFileSize) {
      return patchbuild::Failure(
          corvane::ErrorCode::kTooLarge,
          "%s is %llu bytes; the update format holds files of up to 2 GiB - 1 (2,147,483,647 "
          "bytes)",
          path->c_str(), static_cast<unsigned long long>(size));
    }
  }
  if (!options.if_stale && !deletion && platform::FileExists(out) && !platform::RemoveFile(out)) {
    return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot replace %s", out);
  }
  std::unique_ptr<IPatchAction> action(deletion          ? NewCreateDelete()
                                       : options.compact ? NewCreateCompactPatch()
                                                         : NewCreatePatch());
  if (!action) {
    return patchbuild::Failure(corvane::ErrorCode::kSystem, "out of memory");
  }
  PatchResult result =
      action->Process(options.old_path.c_str(), options.new_path.c_str(), out, false);
  action.reset();
  if (result != kPatchDone) {
    return patchbuild::Failure(corvane::ErrorCode::kWriteFailed,
                               "cannot make the update %s from %s and %s", out,
                               options.old_path.c_str(), options.new_path.c_str());
  }
  uint64_t size = 0;
  platform::FileSizeOf(out, &size);
  std::printf("%s: %s update, %llu bytes\n", out, deletion ? "deletion" : "difference",
              static_cast<unsigned long long>(size));
  return {};
}

void AddDiff(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* command = app.add_subcommand(
      "diff",
      "Write the update file that turns OLD into NEW (with --delete: the update that deletes OLD)");
  command->add_option("OLD", options->old_path, "the file before the step (may be missing)")
      ->required();
  command
      ->add_option("NEW", options->new_path, "the file after the step (missing only with --delete)")
      ->required();
  command->add_option("OUT", options->update_path, "the update file to write (.upd)")->required();
  command->add_flag("--delete", options->delete_old,
                    "NEW is gone: write the deletion update of OLD");
  command->add_flag("--compact", options->compact,
                    "find copies anywhere in OLD: a smaller update when content moved, with "
                    "other bytes than the default writer's");
  command->add_flag("--if-stale", options->if_stale,
                    "rebuild OUT only when it is older than OLD or NEW");
  patchbuild::RunsCommand(command, outcome, [options] { return RunDiff(*options); });
}

patchbuild::CommandRegistration registration("diff", &AddDiff);

}  // namespace
