#include "run/patch_run.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/app_frame.h"
#include "param/param_file.h"
#include "pe/pe_format.h"
#include "platform/file_system.h"
#include "platform/install_lock.h"
#include "platform/registry.h"
#include "platform/resource_module.h"
#include "run/distribution_chooser.h"
#include "run/distributions.h"
#include "run/manifest_signature.h"
#include "run/message_catalogue.h"
#include "run/patch_context.h"
#include "run/patch_manifest.h"
#include "run/payload_inventory.h"
#include "run/payload_names.h"
#include "run/payload_store.h"
#include "run/registry_update.h"
#include "run/step_execution.h"
#include "run/step_resume.h"
#include "run/verify_installation.h"
#include "run/version_detection.h"
#include "ui/console_window.h"
#include "ui/terminal/terminal_console_window.h"

namespace corvane {

namespace {

// Phases message 9 names.
enum Phase { kPhaseSteps = 1, kPhaseInstalledFiles = 2, kPhaseAll = 3, kPhaseAdd = 4, kPhaseFinal = 10 };

// Fixed English texts, like the other "corrupted" ones: a payload that
// holds a name that would leave the installation, and one that is not
// exactly what its signed manifest lists.
constexpr char kBadPayloadNameText[] = "Patch file is corrupted, error 8.";
constexpr char kPayloadItemsMismatchText[] = "Patch file is corrupted, error 9.";

// The lock file that keeps a second run off the installation.
constexpr char kInstallLockName[] = "patch.lock";

// The payload file the command line names: the whole text, without blanks
// around it and without one pair of surrounding quotes (the form a path with
// spaces comes in). Empty: the patcher's own payload.
std::string PayloadPathOf(const std::string& command_line) {
  size_t begin = command_line.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = command_line.find_last_not_of(" \t") + 1;
  if (end - begin >= 2 && command_line[begin] == '"' && command_line[end - 1] == '"') {
    ++begin;
    --end;
  }
  return command_line.substr(begin, end - begin);
}

// Copies text into a fixed context field, cutting what does not fit.
template <size_t N>
void SetField(char (&field)[N], const char* text) {
  std::snprintf(field, N, "%s", text);
}

// The state of one run. Everything acquired is released by the destructor,
// so every way out releases it.
class PatchRun {
 public:
  PatchRun(const char* command_line, const PatchRunOptions& options)
      : command_line_(command_line != nullptr ? command_line : ""), options_(options) {}

  int Run();

 private:
  bool OpenPayload(int* exit_code);
  // Steps 6 to 11; false when the game cannot be found (box 2 was shown).
  bool FindGame();
  bool PassGate();
  bool ChooseDistribution();
  void OpenWindow();
  int FailBox(int id, ...);
  int FailInWindow(int id, ...);
  int FailPass(int phase);
  bool CopyPass(const char* prefix);
  bool UpdateStep(int minor);
  const uint8_t* BuiltInKey() const;

  std::string command_line_;
  PatchRunOptions options_;

  platform::ResourceModule self_;    // messages, dialogs, the built-in key
  platform::ResourceModule module_;  // the payload
  platform::InstallLock install_lock_;  // held from FindGame to the end of the run
  std::vector<uint8_t> key_;
  std::vector<uint8_t> signature_;
  const uint8_t* manifest_bytes_ = nullptr;
  uint32_t manifest_size_ = 0;

  ParamFile manifest_;
  RString app_name_;
  RString app_file_;
  // 255 characters of "MAIN", the backslash and the terminator.
  char installation_directory_[257] = {};
  char installed_text_[kVersionTextSize] = {};
  RString patch_text_;
  RString addon_name_;
  int32_t installed_ = 0;
  int32_t patch_ = 0;
  bool is_patch_ = false;
  bool already_at_version_ = false;

  InterruptedStep interrupted_;

  DistributionTable table_;
  NameList candidates_;
  NameList chain_;

  std::unique_ptr<ConsoleWindowProgress> window_;
  std::unique_ptr<PatchContext> context_;
};

const uint8_t* PatchRun::BuiltInKey() const {
  uint32_t size = 0;
  const uint8_t* key = self_.is_open() ? self_.FindRawDataById(pe::kPublicKeyResourceId, &size) : nullptr;
  if (key != nullptr && size == kManifestKeyLength) return key;
  return options_.built_in_key;
}

int PatchRun::FailBox(int id, ...) {
  char format[1024];
  LoadMessageFormat(self_, id, format, sizeof format);
  char text[1024];
  va_list args;
  va_start(args, id);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ShowError(self_, text);
  return 1;
}

int PatchRun::FailInWindow(int id, ...) {
  va_list args;
  va_start(args, id);
  if (window_) {
    window_->AddLineV(id, args);
    window_->WaitForClose(true);
  } else {
    // A run without a window still tells its failure once, in a box.
    char format[1024];
    LoadMessageFormat(self_, id, format, sizeof format);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    ShowError(self_, text);
  }
  va_end(args);
  return 1;
}

int PatchRun::FailPass(int phase) { return FailInWindow(kMsgPassError, context_->failed_file, phase); }

// Steps 1 to 5: the module, the manifest, its signature.
bool PatchRun::OpenPayload(int* exit_code) {
  self_.OpenSelf();
  const std::string payload_path = PayloadPathOf(command_line_);
  if (payload_path.empty()) {
    module_.OpenSelf();
  } else if (!module_.OpenFile(payload_path.c_str())) {
    // The player named this file: taking the patcher's own payload instead
    // would patch with something else than what was asked for.
    FailBox(kMsgCannotOpenPatch, payload_path.c_str());
    *exit_code = 1;
    return false;
  }
  manifest_bytes_ = FindPayload("version.cfg", module_, &manifest_size_);
  if (manifest_bytes_ == nullptr) {
    ShowError(self_, "Patch file is corrupted, error 1.");
    *exit_code = 1;
    return false;
  }
  const uint8_t* key = BuiltInKey();
  if (key != nullptr) key_.assign(key, key + kManifestKeyLength);
  uint32_t signature_size = 0;
  const uint8_t* signature = FindPayload("version.cfg.sign", module_, &signature_size);
  if (signature == nullptr) {
    ShowError(self_, "Patch file is corrupted, error 2.");
    *exit_code = 1;
    return false;
  }
  signature_.assign(signature, signature + signature_size);
  ManifestSignatureRecord record;
  record.key_blob = key_.data();
  record.key_length = static_cast<uint32_t>(key_.size());
  record.signature = signature_.data();
  record.signature_length = signature_size;
  uint32_t last_error = 0;
  int result = VerifyManifestSignature(manifest_bytes_, manifest_size_, record, &last_error);
  if (result != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "Patch file is corrupted, error %d/%d.", result,
                  static_cast<int>(last_error));
    ShowError(self_, text);
    *exit_code = 1;
    return false;
  }
  // Every name becomes a path below the installation; one that could reach
  // outside it condemns the whole payload before anything is touched.
  std::string refused;
  module_.EnumerateRawDataNames([&refused](const char* name) {
    const PayloadNameFault fault = CheckPayloadName(name);
    if (fault == PayloadNameFault::kNone) return true;
    refused = name;
    ReportLog("Payload name %s refused: %s", name, DescribePayloadNameFault(fault));
    return false;
  });
  if (!refused.empty()) {
    ShowError(self_, kBadPayloadNameText);
    *exit_code = 1;
    return false;
  }
  return true;
}

// Steps 6 to 11: the manifest, the installation directory, the version.
bool PatchRun::FindGame() {
  LoadManifest(&manifest_, manifest_bytes_, manifest_size_);
  // The signature covers the manifest; its list of items extends that to
  // every byte of the payload.
  const PayloadItemsCheck items = CheckPayloadItems(manifest_, module_);
  if (items.status != PayloadItemsStatus::kAbsent && items.status != PayloadItemsStatus::kMatches) {
    ReportLog("Payload refused: %s%s%s", DescribePayloadItemsStatus(items.status), items.item.empty() ? "" : ": ",
              items.item.c_str());
    ShowError(self_, kPayloadItemsMismatchText);
    return false;
  }
  RString config_app = ReadManifestText(manifest_, "configApp");
  RString display_name = ReadManifestText(manifest_, "displayName");
  if (!display_name.IsEmpty()) SetDisplayName(display_name.Data());

  std::string main;
  platform::RegistryStatus status = platform::ReadRegistryString(
      platform::RegistryRoot::kLocalMachine, config_app.Data(), "MAIN", &main);
  if (status == platform::RegistryStatus::kNotFound) {
    // The key or value is not there: the box of a failed key open, whose
    // text is loaded into 256 bytes.
    char text[256];
    LoadMessage(self_, kMsgNotInstalled, text, sizeof text);
    ShowError(self_, text);
    return false;
  }
  // A value that does not fit the 256-byte buffer is a failed read.
  if (status != platform::RegistryStatus::kOk || std::strlen(main.c_str()) > 255) {
    FailBox(kMsgNotInstalled);
    return false;
  }
  // The value ends at its first zero, as the registry's string read gives it.
  main.resize(std::strlen(main.c_str()));
  if (main.empty() || main.back() != '\\') main += '\\';
  SetField(installation_directory_, main.c_str());

  app_name_ = ReadManifestText(manifest_, "appName");
  app_file_ = RString(installation_directory_) + app_name_;
  if (!platform::FileExists(app_file_.Data()) || ReadFileVersion(app_file_.Data(), installed_text_) == 0) {
    FailBox(kMsgNotInstalled);
    return false;
  }
  // From here on the run may change the installation: one run at a time.
  const std::string lock_path = std::string(installation_directory_) + kInstallLockName;
  switch (install_lock_.Acquire(lock_path.c_str())) {
    case platform::InstallLockResult::kLocked:
      break;
    case platform::InstallLockResult::kBusy:
      FailBox(kMsgAlreadyRunning);
      return false;
    case platform::InstallLockResult::kFailed:
      // A folder where no lock file can be made is one no other run can
      // write either; the run goes on and fails where it writes.
      ReportLog("No lock file %s: going on without it", lock_path.c_str());
      break;
  }
  // Registry values come last; a registry that cannot be written then must
  // stop the run now, before any file changes.
  std::string registry_holder;
  if (MayWriteRegistry(manifest_) && platform::RegistryInUse(&registry_holder)) {
    FailBox(kMsgRegistryBusy, registry_holder.c_str());
    return false;
  }
  return true;
}

// Steps 12 to 16.
bool PatchRun::PassGate() {
  patch_text_ = ReadManifestText(manifest_, "version");
  patch_ = ParseVersion(patch_text_.Data());
  installed_ = ParseVersion(installed_text_);
  FindManifestText(manifest_, "name", &addon_name_);
  int32_t required_for_addons = FindManifestVersion(manifest_, "requiredForAddons");
  int32_t required_for_patch = FindManifestVersion(manifest_, "requiredForPatch");
  is_patch_ = ReadManifestBool(manifest_, "isPatch");
  VersionGateResult gate = CheckVersionGate(is_patch_, installed_text_, installed_, patch_text_.Data(),
                                            required_for_addons, required_for_patch);
  switch (gate.outcome) {
    case VersionGateOutcome::kTooOld:
      FailBox(kMsgVersionRequired, VersionMajor(gate.required), VersionMinor(gate.required),
              VersionMajor(installed_), VersionMinor(installed_));
      return false;
    case VersionGateOutcome::kMoreRecent:
      FailBox(kMsgMoreRecent, installed_text_, patch_text_.Data());
      return false;
    case VersionGateOutcome::kAlreadyAtVersion:
      already_at_version_ = true;
      return true;
    case VersionGateOutcome::kAccept:
      return true;
  }
  return true;
}

// Steps 17 to 20. False when the user cancelled the choice.
bool PatchRun::ChooseDistribution() {
  ReadDistributions(manifest_, &table_, &candidates_);
  if (!candidates_.IsEmpty()) DetectDistribution(manifest_, RString(installation_directory_), &candidates_);
  if (candidates_.Size() > 1) {
    std::unique_ptr<IDistributionChooser> own;
    IDistributionChooser* chooser = options_.chooser;
    if (chooser == nullptr) {
      own = std::make_unique<TerminalDistributionChooser>(StandardTerminal());
      chooser = own.get();
    }
    RString chosen = SelectDistribution(*chooser, table_, candidates_);
    if (chosen.IsEmpty()) return false;
    candidates_.Clear();
    candidates_.Add(chosen);
  }
  chain_ = BuildDistributionChain(table_, candidates_);
  return true;
}

// Steps 21 to 23.
void PatchRun::OpenWindow() {
  if (options_.make_window) {
    window_ = options_.make_window();
  } else {
    LoadMessageFunction load_message = &LoadMessageFormat;
    window_ = std::make_unique<TerminalConsoleWindow>(load_message);
  }
  if (window_) {
    window_->Create(self_);
    window_->EnableOK(false);
  }
  context_ = std::make_unique<PatchContext>();
  context_->installed_major = VersionMajor(installed_);
  context_->installed_minor = VersionMinor(installed_);
  context_->patch_major = VersionMajor(patch_);
  context_->patch_minor = VersionMinor(patch_);
  context_->window = window_.get();
  context_->module = &module_;
  context_->seen = 0;
  context_->error = 0;
  context_->disk_full = 0;
  context_->distribution = chain_.IsEmpty() ? RString() : chain_[0];
  if (!window_) return;
  if (!addon_name_.IsEmpty()) {
    window_->SetTitle(kMsgInstallingAddon, addon_name_.Data());
  } else {
    window_->SetTitle(kMsgUpdating, installed_text_, patch_text_.Data());
  }
}

// One whole-file pass (steps 29 to 31). False when the error flag is raised.
bool PatchRun::CopyPass(const char* prefix) {
  SetField(context_->installation_directory, installation_directory_);
  SetField(context_->prefix, prefix);
  context_->names.Clear();
  EnumeratePayload(module_, CollectPayloadNames, context_.get());
  PickDistributionFiles(&context_->names, chain_);
  CopyWholeFiles(context_.get());
  ProcessPendingMessages();
  return !context_->error;
}

// The update pass of one version step (step 27). The step's names go to the
// update callback in payload order, except that the game executable comes
// last: it tells the installed version, so until the whole step is done the
// installation still reads as the step's source version, and a run that is
// interrupted can be run again (see step_resume.h). Files that an interrupted
// run already updated are skipped. False when the callback stopped the step.
bool PatchRun::UpdateStep(int minor) {
  SetField(context_->installation_directory, installation_directory_);
  std::snprintf(context_->prefix, sizeof context_->prefix, "%d.%02d-", context_->installed_major, minor);
  context_->names.Clear();
  EnumeratePayload(module_, CollectPayloadNames, context_.get());
  NameList names = context_->names;
  context_->names.Clear();
  MoveExecutableUpdateLast(&names, app_name_.Data());
  const bool resuming = interrupted_.interrupted && minor == context_->installed_minor;
  for (const RString& name : names) {
    std::string target = StepTargetName(name.Data());
    if (resuming && interrupted_.IsAdvanced(target.c_str())) {
      RemoveStepLeftovers(installation_directory_, name.Data());
      continue;
    }
    if (!StepUpdateCallback(&module_, kRawDataType, name.Data(), context_.get())) return false;
  }
  return true;
}

int PatchRun::Run() {
  int exit_code = 1;
  if (!OpenPayload(&exit_code)) return exit_code;
  if (!FindGame()) return 1;
  if (!PassGate()) return 1;
  if (!ChooseDistribution()) return 1;
  OpenWindow();

  char version_prefix[kVersionTextSize + 1];
  std::snprintf(version_prefix, sizeof version_prefix, "%s\\", installed_text_);

  // Step 24: the installation must be exactly the installed version's.
  if (!already_at_version_ && addon_name_.IsEmpty()) {
    if (window_) window_->AddLine(kMsgVerifying, VersionMajor(installed_), VersionMinor(installed_));
    SetField(context_->installation_directory, installation_directory_);
    SetField(context_->prefix, version_prefix);
    // A run that was interrupted in its first step left files of both
    // versions; they were just checked against both lists.
    if (is_patch_ && context_->installed_minor < context_->patch_minor) {
      interrupted_ = FindInterruptedStep(module_, installation_directory_, installed_, installed_ + 1);
    }
    if (interrupted_.interrupted) {
      ReportLog("Resuming the step from %s: %d files already updated", installed_text_,
                static_cast<int>(interrupted_.advanced.size()));
    } else if (VerifyInstallation(context_.get(), nullptr, true, false) != 1) {
      return FailInWindow(kMsgInstallationModified);
    }
  }
  // Step 25.
  if (window_) {
    if (!addon_name_.IsEmpty()) {
      window_->AddLine(kMsgInstallingAddon, addon_name_.Data());
    } else {
      window_->AddLine(kMsgUpdating, installed_text_, patch_text_.Data());
    }
  }

  if (is_patch_) {
    // Steps 26 and 27: every step stays within the installed major number.
    const int major = context_->installed_major;
    for (int i = context_->installed_minor; i < context_->patch_minor; ++i) {
      SetField(context_->installation_directory, installation_directory_);
      std::snprintf(context_->prefix, sizeof context_->prefix, "%d.%02d-", major, i);
      EnumeratePayload(module_, StepSpaceCallback, context_.get());
      if (context_->disk_full) {
        if (window_) window_->Destroy();
        char drive[8];
        std::snprintf(drive, sizeof drive, "%c:", installation_directory_[0]);
        FailBox(kMsgDiskFull, drive);
        return 1;
      }
      ProcessPendingMessages();
    }
    for (int j = context_->installed_minor; j < context_->patch_minor; ++j) {
      if (!UpdateStep(j)) break;
    }
    // Step 28.
    if (context_->error) return FailPass(kPhaseSteps);
  }

  if (already_at_version_ && is_patch_ && context_->patch_minor > 0) {
    // A run interrupted after the game executable reached this version may
    // have left its last extracted update beside it.
    SetField(context_->installation_directory, installation_directory_);
    std::snprintf(context_->prefix, sizeof context_->prefix, "%d.%02d-", context_->patch_major,
                  context_->patch_minor - 1);
    context_->names.Clear();
    EnumeratePayload(module_, CollectPayloadNames, context_.get());
    for (const RString& name : context_->names) {
      const char* rest = nullptr;
      if (MatchStepName(name.Data(), context_->prefix, &rest)) {
        RemoveStepLeftovers(installation_directory_, name.Data());
      }
    }
    context_->names.Clear();
  }

  // Steps 29 to 31.
  if (!CopyPass(version_prefix)) return FailPass(kPhaseInstalledFiles);
  if (is_patch_ && !CopyPass("All\\")) return FailPass(kPhaseAll);
  if (!CopyPass("Add\\")) return FailPass(kPhaseAdd);

  if (!context_->seen) {
    // Nothing of the payload was met at all: this patch has nothing for the
    // installed version.
    if (window_) window_->Destroy();
    FailBox(kMsgNotSupported, installed_text_, patch_text_.Data());
    return 1;
  }

  // Step 32.
  if (already_at_version_) {
    if (window_) window_->AddLine(kMsgVerifying, VersionMajor(patch_), VersionMinor(patch_));
    if (VerifyInstallation(context_.get(), nullptr, false, false) != 1) {
      return FailInWindow(kMsgPassError, installed_text_, static_cast<int>(kPhaseFinal));
    }
  }

  // Steps 33 to 36. A value not written is a run not finished.
  std::string registry_failure;
  ApplyRegistryUpdates(manifest_, context_->distribution, &registry_failure);
  if (!registry_failure.empty()) return FailInWindow(kMsgRegistryFailed, registry_failure.c_str());
  if (window_) {
    window_->SetProgressText("%s", "");
    window_->StopAnimation();
    if (!addon_name_.IsEmpty()) {
      window_->AddLine(kMsgAddonInstalled, addon_name_.Data());
    } else {
      window_->AddLine(kMsgPatchApplied, patch_text_.Data(), installed_text_);
    }
    window_->WaitForClose(true);
  }
  return 0;
}

}  // namespace

int RunPatch(const char* command_line, const PatchRunOptions& options) {
  PatchRun run(command_line, options);
  return run.Run();
}

}  // namespace corvane
