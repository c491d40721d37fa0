// patchbuild diff OLD NEW OUT: writes the update file that turns OLD into NEW,
// or the deletion update when NEW does not exist.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "command_registry.h"
#include "engine/create_patch.h"
#include "platform/file_system.h"

namespace {

struct DiffOptions {
  std::string old_path;
  std::string new_path;
  std::string update_path;
  bool if_stale = false;
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

void RunDiff(const DiffOptions& options) {
  using namespace corvane;
  const char* out = options.update_path.c_str();
  // Writing the update over an input would truncate a file being read.
  if (SameFile(options.update_path, options.old_path) ||
      SameFile(options.update_path, options.new_path)) {
    patchbuild::Fail("OUT must not be OLD or NEW: %s", out);
    return;
  }
  bool deletion = !platform::FileExists(options.new_path.c_str());
  if (!options.if_stale && !deletion && platform::FileExists(out) && !platform::RemoveFile(out)) {
    patchbuild::Fail("cannot replace %s", out);
    return;
  }
  std::unique_ptr<IPatchAction> action(deletion ? NewCreateDelete() : NewCreatePatch());
  if (!action) {
    patchbuild::Fail("out of memory");
    return;
  }
  int result = action->Process(options.old_path.c_str(), options.new_path.c_str(), out, false);
  action.reset();
  if (result != kPatchDone) {
    patchbuild::Fail("cannot make the update %s from %s and %s", out, options.old_path.c_str(),
                     options.new_path.c_str());
    return;
  }
  uint64_t size = 0;
  platform::FileSizeOf(out, &size);
  std::printf("%s: %s update, %llu bytes\n", out, deletion ? "deletion" : "difference",
              static_cast<unsigned long long>(size));
}

void AddDiff(CLI::App& app) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* command = app.add_subcommand(
      "diff",
      "Write the update file that turns OLD into NEW (a deletion update when NEW does "
      "not exist)");
  command->add_option("OLD", options->old_path, "the file before the step (may be missing)")
      ->required();
  command->add_option("NEW", options->new_path, "the file after the step (may be missing)")
      ->required();
  command->add_option("OUT", options->update_path, "the update file to write (.upd)")->required();
  command->add_flag("--if-stale", options->if_stale,
                    "rebuild OUT only when it is older than OLD or NEW");
  command->callback([options] { RunDiff(*options); });
}

patchbuild::CommandRegistration registration("diff", &AddDiff);

}  // namespace
