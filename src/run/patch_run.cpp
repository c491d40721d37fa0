#include "run/patch_run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/patch_log.h"
#include "foundation/app_frame.h"
#include "param/param_file.h"
#include "pe/pe_format.h"
#include "platform/file_system.h"
#include "platform/install_lock.h"
#include "platform/parallel_work.h"
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
#include "run/run_journal.h"
#include "run/step_execution.h"
#include "run/step_resume.h"
#include "run/verify_installation.h"
#include "run/version_detection.h"
#include "run/whole_file_staging.h"
#include "ui/console_window.h"

namespace corvane {

namespace {

// Longest installation folder, in characters: MAX_PATH less the terminator.
constexpr size_t kMaxInstallationDirectory = 259;

// Free space a whole file written ahead of its pass leaves beyond the most
// one file of the version steps needs.
constexpr uint64_t kStagingReserve = uint64_t{64} << 20;

// The pass number kMsgPatchError shows beside the file that failed. Players
// quote it from the window and from patch.log, so the numbers stay as they are.
enum PassNumber {
  kPassVersionSteps = 1,
  kPassInstalledVersionFiles = 2,
  kPassAllFiles = 3,
  kPassAddFiles = 4,
  kPassFinalCheck = 10,
};

// The phases of a run, in the order they run. A run that fails logs the phase
// it failed in.
enum class RunPhase {
  kOpenPayload,
  kFindGame,
  kCheckVersion,
  kChooseDistribution,
  kOpenWindow,
  kCheckInstallation,
  kCheckFreeSpace,
  kStageWholeFiles,
  kUpdateSteps,
  kCopyWholeFiles,
  kVerifyResult,
  kWriteRegistry,
};

const char* RunPhaseName(RunPhase phase) {
  switch (phase) {
    case RunPhase::kOpenPayload:
      return "opening the payload";
    case RunPhase::kFindGame:
      return "finding the game";
    case RunPhase::kCheckVersion:
      return "checking the installed version";
    case RunPhase::kChooseDistribution:
      return "choosing the edition";
    case RunPhase::kOpenWindow:
      return "opening the window";
    case RunPhase::kCheckInstallation:
      return "checking the installed files";
    case RunPhase::kCheckFreeSpace:
      return "checking the free space";
    case RunPhase::kStageWholeFiles:
      return "writing whole files ahead";
    case RunPhase::kUpdateSteps:
      return "updating files";
    case RunPhase::kCopyWholeFiles:
      return "copying whole files";
    case RunPhase::kVerifyResult:
      return "verifying the result";
    case RunPhase::kWriteRegistry:
      return "writing registry values";
  }
  return "?";
}

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
  // Stops the payload's digests early when the run ends before they do.
  ~PatchRun() {
    payload_stop_ = true;
    payload_check_.Wait();
    staged_.Discard();  // while the installation is still locked
  }

  // The run's exit code; a failure logs the phase it happened in.
  int Run();

 private:
  // The phases in order; each answers 0 to go on, else the run's exit code
  // (the failure was told).
  int RunPhases();
  int OpenPayload();
  int FindGame();
  int NotInstalled(const char* key, const char* executable);
  void LoadJournal();
  int CheckVersion();
  int ChooseDistribution();
  void OpenWindow();
  int CheckFreeSpace();
  void StageWholeFiles();
  void StageWholeFilesWhileRoom();
  int UpdateSteps();
  void RemoveLastStepLeftovers();
  int CopyWholeFilePasses();
  int VerifyEndResult();
  int WriteRegistryAndFinish();
  void Enter(RunPhase phase) { phase_ = phase; }
  RunSummary Summary() const;
  int FailBox(int id, ...);
  int FailInWindow(int id, ...);
  int FailPass(PassNumber pass);
  int Stopped();
  bool StopRequested() const { return window_ && window_->ClosedByUser(); }
  bool PayloadSound();
  int PayloadFault();
  int CheckInstallation(const char* version_prefix);
  // `minor`: the version whose list the check reads, for the window's figures.
  StepFileProgress CheckProgress(int minor);
  std::vector<std::string> LaterWholeFiles(const char* version_prefix);
  bool PassPending(int pass) const { return pass >= journal_.passes_done; }
  bool MarkPassDone(int passes);
  struct WholeFilePass {
    const char* prefix;
    PassNumber number;
    bool wanted;
  };
  std::array<WholeFilePass, 3> WholeFilePasses() const;
  void CollectPassNames(const char* prefix);
  bool CopyPass(const char* prefix);
  bool UpdateStep(int minor);
  const uint8_t* BuiltInKey() const;

  std::string command_line_;
  PatchRunOptions options_;
  RunPhase phase_ = RunPhase::kOpenPayload;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

  platform::ResourceModule self_;       // messages, dialogs, the built-in key
  platform::ResourceModule module_;     // the payload
  platform::InstallLock install_lock_;  // held from FindGame to the end of the run
  std::vector<uint8_t> key_;
  std::vector<uint8_t> signature_;
  const uint8_t* manifest_bytes_ = nullptr;
  uint32_t manifest_size_ = 0;

  ParamFile manifest_;
  RString app_name_;
  RString app_file_;
  // The longest folder Windows can hold (259 characters of "MAIN"), the
  // backslash and the terminator. The original 256-byte read refused folders
  // of 256 to 259 characters that players do have; the file services reach
  // the longer paths below them.
  char installation_directory_[kMaxInstallationDirectory + 2] = {};
  char installed_text_[kVersionTextSize] = {};
  RString patch_text_;
  RString addon_name_;
  int32_t installed_ = 0;
  int32_t patch_ = 0;
  bool is_patch_ = false;
  bool already_at_version_ = false;
  // The installed version and a backslash: where its whole files are.
  char version_prefix_[kVersionTextSize + 1] = {};
  // The version steps of this run (0 for an add-on or a run at the version).
  int steps_ = 0;

  InterruptedStep interrupted_;

  // The journal of this run (see run_journal.h). `resumed_`: it was found in
  // the installation and continues an interrupted run of this patch; then
  // installed_text_ is the version that run started from, exe_text_ what the
  // game executable reads now, and first_step_ the minor number of the first
  // version step not finished.
  RunJournal journal_;
  bool resumed_ = false;
  bool journal_kept_ = false;  // a journal is in the installation for this run
  char exe_text_[kVersionTextSize] = {};
  int first_step_ = 0;

  DistributionTable table_;
  NameList candidates_;
  NameList chain_;

  std::unique_ptr<ConsoleWindowProgress> window_;
  std::unique_ptr<PatchContext> context_;
  StagedWholeFiles staged_;

  // The digests of the payload's items, made beside the search for the game
  // and the check of the installation; PayloadSound waits for them before
  // anything changes and before any failure is told. Last, so that it ends
  // (stopped early) before anything it reads goes.
  PayloadItemsDigests payload_digests_;
  PayloadItemsCheck payload_verdict_;
  bool payload_verdict_known_ = true;
  std::atomic<bool> payload_stop_{false};
  platform::BackgroundWork payload_check_;
};

const uint8_t* PatchRun::BuiltInKey() const {
  uint32_t size = 0;
  const uint8_t* key =
      self_.is_open() ? self_.FindRawDataById(pe::kPublicKeyResourceId, &size) : nullptr;
  if (key != nullptr && size == kManifestKeyLength) return key;
  return options_.built_in_key;
}

// Whether the payload holds exactly what its signed manifest lists; waits
// for the digests when they are still being made.
bool PatchRun::PayloadSound() {
  if (!payload_verdict_known_) {
    payload_check_.Wait();
    payload_verdict_known_ = true;
    if (payload_verdict_.status != PayloadItemsStatus::kMatches) {
      ReportLog("Payload refused: %s%s%s", DescribePayloadItemsStatus(payload_verdict_.status),
                payload_verdict_.item.empty() ? "" : ": ", payload_verdict_.item.c_str());
    }
  }
  return payload_verdict_.status == PayloadItemsStatus::kAbsent ||
         payload_verdict_.status == PayloadItemsStatus::kMatches;
}

// A payload that is not what was signed: told before anything else, since
// whatever else went wrong may have come from it.
int PatchRun::PayloadFault() {
  PayloadSound();  // logs why
  if (window_) window_->Destroy();
  ShowError(self_, kPayloadItemsMismatchText);
  return 1;
}

int PatchRun::FailBox(int id, ...) {
  if (!PayloadSound()) return PayloadFault();
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
  if (!PayloadSound()) return PayloadFault();
  va_list args;
  va_start(args, id);
  if (window_ && window_->IsOpen()) {
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

int PatchRun::FailPass(PassNumber pass) {
  // A pass the player stopped is no damaged patch.
  if (StopRequested() || context_->stopped) return Stopped();
  return FailInWindow(kMsgPatchError, context_->failed_file, static_cast<int>(pass));
}

// The player closed the window: the run ends here, never as a success and
// never silently. What is done stays done (every file is whole); the journal
// tells a rerun where to go on.
int PatchRun::Stopped() {
  ReportLog("The run was stopped by the user");
  return FailInWindow(kMsgPatchStopped);
}

// The payload module, its manifest and the manifest's signature, and the
// names of every item.
int PatchRun::OpenPayload() {
  self_.OpenSelf();
  const std::string payload_path = PayloadPathOf(command_line_);
  if (payload_path.empty()) {
    module_.OpenSelf();
  } else if (!module_.OpenFile(payload_path.c_str())) {
    // The player named this file: taking the patcher's own payload instead
    // would patch with something else than what was asked for.
    return FailBox(kMsgCannotOpenPatch, payload_path.c_str());
  }
  manifest_bytes_ = FindPayload("version.cfg", module_, &manifest_size_);
  if (manifest_bytes_ == nullptr) {
    ShowError(self_, "Patch file is corrupted, error 1.");
    return 1;
  }
  const uint8_t* key = BuiltInKey();
  if (key != nullptr) key_.assign(key, key + kManifestKeyLength);
  uint32_t signature_size = 0;
  const uint8_t* signature = FindPayload("version.cfg.sign", module_, &signature_size);
  if (signature == nullptr) {
    ShowError(self_, "Patch file is corrupted, error 2.");
    return 1;
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
    return 1;
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
    return 1;
  }
  return 0;
}

// The manifest, the installation folder from the registry, the installed
// version; then the lock that keeps other runs off the installation.
int PatchRun::FindGame() {
  LoadManifest(&manifest_, manifest_bytes_, manifest_size_);
  // The signature covers the manifest; its list of items extends that to
  // every byte of the payload. Names and sizes are checked here; the digests
  // are made beside the work up to the first change.
  payload_verdict_ = PreparePayloadItemsCheck(manifest_, module_, &payload_digests_);
  if (payload_verdict_.status == PayloadItemsStatus::kMatches) {
    payload_verdict_known_ = false;
    // One processor stays with the run, which checks the installation and
    // writes the whole files ahead meanwhile.
    const unsigned processors = platform::ProcessorCount();
    const unsigned threads = processors > 1 ? processors - 1 : 1;
    payload_check_.Start([this, threads] {
      payload_verdict_ = DigestPayloadItems(payload_digests_, &payload_stop_, threads);
    });
  } else if (payload_verdict_.status != PayloadItemsStatus::kAbsent) {
    payload_verdict_known_ = false;  // told by PayloadSound, which has nothing to wait for
    return PayloadFault();
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
    return NotInstalled(config_app.Data(), nullptr);
  }
  // A value longer than any folder can be is a failed read.
  if (status != platform::RegistryStatus::kOk ||
      std::strlen(main.c_str()) > kMaxInstallationDirectory) {
    return NotInstalled(config_app.Data(), nullptr);
  }
  // The value ends at its first zero, as the registry's string read gives it.
  main.resize(std::strlen(main.c_str()));
  if (main.empty() || main.back() != '\\') main += '\\';
  SetField(installation_directory_, main.c_str());

  app_name_ = ReadManifestText(manifest_, "appName");
  app_file_ = RString(installation_directory_) + app_name_;
  if (!platform::FileExists(app_file_.Data()) ||
      ReadFileVersion(app_file_.Data(), installed_text_) == 0) {
    return NotInstalled(config_app.Data(), app_file_.Data());
  }
  // From here on the run may change the installation: one run at a time.
  const std::string lock_path = std::string(installation_directory_) + kInstallLockName;
  switch (install_lock_.Acquire(lock_path.c_str())) {
    case platform::InstallLockResult::kLocked:
      break;
    case platform::InstallLockResult::kBusy:
      return FailBox(kMsgAlreadyRunning);
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
    return FailBox(kMsgRegistryBusy, registry_holder.c_str());
  }
  return 0;
}

// The box of a game that is not there, whose text is loaded into 256 bytes.
// Where the player must be told where the game was looked for (a Wine
// prefix), the box says so: the registry key and, when the key was there,
// the game executable it led to.
int PatchRun::NotInstalled(const char* key, const char* executable) {
  if (!PayloadSound()) return PayloadFault();
  char text[256];
  LoadMessage(self_, kMsgNotInstalled, text, sizeof text);
  std::string box = text;
  const std::string where =
      platform::DescribeRegistryKey(platform::RegistryRoot::kLocalMachine, key);
  if (!where.empty()) {
    box += "\n(looked for the value MAIN of " + where;
    if (executable != nullptr) box += std::string(", which names the folder of ") + executable;
    box += ")";
  }
  ShowError(self_, box.c_str());
  return 1;
}

// A journal left by an interrupted run of this same patch: the run goes on
// from where it stopped, from the version it started at. Anything that does
// not fit what that run could have left (another patch, a game executable
// outside the run's range or behind its finished steps, a distribution this
// patch does not have) is ignored, and the installation is judged as if there
// were no journal: it never lets a check be skipped.
void PatchRun::LoadJournal() {
  RunJournal journal;
  if (!ReadRunJournal(installation_directory_, &journal)) return;
  RString patch_text = ReadManifestText(manifest_, "version");
  const int32_t patch = ParseVersion(patch_text.Data());
  const int32_t from = ParseVersion(journal.from_version.c_str());
  const int32_t exe = ParseVersion(installed_text_);
  const int steps = patch - from;
  bool fits = ReadManifestBool(manifest_, "isPatch") &&
              journal.patch_version == patch_text.Data() &&
              VersionMajor(from) == VersionMajor(patch) && from < patch && from <= exe &&
              exe <= patch && journal.passes_done <= steps + 3;
  // The executable moves on with the last file of each step: it is at least
  // where the finished steps took it, and at the patch once all are done.
  if (fits) fits = exe >= from + std::min(journal.passes_done, steps);
  if (fits && journal.passes_done >= steps) fits = exe == patch;
  if (fits && !journal.distribution.empty()) {
    DistributionTable table;
    NameList candidates;
    ReadDistributions(manifest_, &table, &candidates);
    bool known = false;
    for (const RString& name : candidates)
      known = known || name == RString(journal.distribution.c_str());
    fits = known;
  }
  if (!fits) {
    ReportLog("Ignoring the journal of another run (patch %s from %s)",
              journal.patch_version.c_str(), journal.from_version.c_str());
    return;
  }
  journal_ = journal;
  resumed_ = true;
  journal_kept_ = true;
  SetField(exe_text_, installed_text_);
  SetField(installed_text_, journal.from_version.c_str());
  first_step_ = VersionMinor(exe);
  ReportLog("Resuming the run from %s at %s: %d passes done", installed_text_, exe_text_,
            journal.passes_done);
}

// The installed version against the manifest's: too old, more recent,
// already there or to be patched.
int PatchRun::CheckVersion() {
  patch_text_ = ReadManifestText(manifest_, "version");
  patch_ = ParseVersion(patch_text_.Data());
  installed_ = ParseVersion(installed_text_);
  FindManifestText(manifest_, "name", &addon_name_);
  int32_t required_for_addons = FindManifestVersion(manifest_, "requiredForAddons");
  int32_t required_for_patch = FindManifestVersion(manifest_, "requiredForPatch");
  is_patch_ = ReadManifestBool(manifest_, "isPatch");
  VersionGateResult gate =
      CheckVersionGate(is_patch_, installed_text_, installed_, patch_text_.Data(),
                       required_for_addons, required_for_patch);
  switch (gate.outcome) {
    case VersionGateOutcome::kTooOld:
      return FailBox(kMsgVersionRequired, VersionMajor(gate.required), VersionMinor(gate.required),
                     VersionMajor(installed_), VersionMinor(installed_));
    case VersionGateOutcome::kMoreRecent:
      return FailBox(kMsgInstalledIsNewer, installed_text_, patch_text_.Data());
    case VersionGateOutcome::kAlreadyAtVersion:
      already_at_version_ = true;
      return 0;
    case VersionGateOutcome::kAccept:
      return 0;
  }
  return 0;
}

// The edition the files are taken for: the one an interrupted run chose, the
// only one the installation can be, or the player's choice. 1 when the player
// cancelled the choice.
int PatchRun::ChooseDistribution() {
  ReadDistributions(manifest_, &table_, &candidates_);
  if (resumed_) {
    // The files already installed are the chosen distribution's.
    candidates_.Clear();
    if (!journal_.distribution.empty()) candidates_.Add(RString(journal_.distribution.c_str()));
    chain_ = BuildDistributionChain(table_, candidates_);
    return 0;
  }
  if (!candidates_.IsEmpty())
    DetectDistribution(manifest_, RString(installation_directory_), &candidates_);
  if (candidates_.Size() > 1) {
    if (options_.chooser == nullptr) {
      ReportLog("The edition is not recognised and there is nobody to choose it");
      return 1;
    }
    RString chosen = SelectDistribution(*options_.chooser, table_, candidates_);
    if (chosen.IsEmpty()) return 1;
    candidates_.Clear();
    candidates_.Add(chosen);
  }
  chain_ = BuildDistributionChain(table_, candidates_);
  return 0;
}

// The progress window and the context the passes share.
void PatchRun::OpenWindow() {
  if (options_.make_window) window_ = options_.make_window();
  if (window_) {
    window_->Create(self_);
    window_->EnableOK(false);
  }
  context_ = std::make_unique<PatchContext>();
  context_->staged = &staged_;
  context_->installed_major = VersionMajor(installed_);
  context_->installed_minor = VersionMinor(installed_);
  context_->patch_major = VersionMajor(patch_);
  context_->patch_minor = VersionMinor(patch_);
  context_->window = window_.get();
  // A message of the engine never lands on the window's progress line.
  if (window_) {
    context_->engine_messages = PatchMessages(
        [window = window_.get()](const char* text) { window->ShowEngineMessage(text); },
        &AppendToPatchLog);
  }
  context_->module = &module_;
  context_->seen = 0;
  context_->error = 0;
  context_->disk_full = 0;
  context_->distribution = chain_.IsEmpty() ? RString() : chain_[0];
  if (!window_) return;
  if (!addon_name_.IsEmpty()) {
    window_->SetTitle(kMsgInstallingAddon, addon_name_.Data());
  } else {
    window_->SetTitle(kMsgUpdatingTitle, installed_text_, patch_text_.Data());
  }
}

// One whole-file pass. False when the error flag is raised.
// The whole-file passes of a run, in order: the installed version's files,
// All's (patches only) and Add's. Each is recorded in the journal when done.
std::array<PatchRun::WholeFilePass, 3> PatchRun::WholeFilePasses() const {
  return {{{version_prefix_, kPassInstalledVersionFiles, true},
           {"All\\", kPassAllFiles, is_patch_},
           {"Add\\", kPassAddFiles, true}}};
}

// The names of a whole-file pass into the context: the payload's under the
// prefix, one variant per distribution group.
void PatchRun::CollectPassNames(const char* prefix) {
  SetField(context_->installation_directory, installation_directory_);
  SetField(context_->prefix, prefix);
  context_->names.Clear();
  EnumeratePayload(module_, CollectPayloadNames, context_.get());
  PickDistributionFiles(&context_->names, chain_);
}

bool PatchRun::CopyPass(const char* prefix) {
  CollectPassNames(prefix);
  CopyWholeFiles(context_.get());
  ProcessPendingMessages();
  return !context_->error;
}

// The update pass of one version step. The step's names go to the
// update callback in payload order, except that the game executable comes
// last: it tells the installed version, so until the whole step is done the
// installation still reads as the step's source version, and a run that is
// interrupted can be run again (see step_resume.h). Files that an interrupted
// run already updated are skipped. False when the callback stopped the step.
bool PatchRun::UpdateStep(int minor) {
  SetField(context_->installation_directory, installation_directory_);
  std::snprintf(context_->prefix, sizeof context_->prefix, "%d.%02d-", context_->installed_major,
                minor);
  context_->names.Clear();
  EnumeratePayload(module_, CollectPayloadNames, context_.get());
  NameList names = context_->names;
  context_->names.Clear();
  MoveExecutableUpdateLast(&names, app_name_.Data());
  const bool resuming = interrupted_.interrupted && minor == first_step_;
  char phase[64];
  std::snprintf(phase, sizeof phase, "update %d.%02d-%d.%02d", context_->installed_major, minor,
                context_->installed_major, minor + 1);
  WorkProgress work = PayloadWork(phase, names, module_);
  for (const RString& name : names) {
    if (window_) window_->ShowWork(work);
    CountPayloadItemDone(&work, name.Data(), module_);
    std::string target = StepTargetName(name.Data());
    if (resuming && interrupted_.IsAdvanced(target.c_str())) {
      RemoveStepLeftovers(installation_directory_, name.Data());
      continue;
    }
    if (!StepUpdateCallback(&module_, kRawDataType, name.Data(), context_.get())) return false;
    // Each file is replaced whole in one rename, and the executable comes
    // last: after any file the step can stop and a rerun finish it.
    ProcessPendingMessages();
    if (StopRequested()) return false;
  }
  if (window_) window_->ShowWork(WorkProgress{});
  return true;
}

// The whole files the passes still to come install (names relative to the
// installation, without a distribution suffix): until those passes run they
// may be missing or at any version.
std::vector<std::string> PatchRun::LaterWholeFiles(const char* version_prefix) {
  std::vector<std::string> files;
  const int steps = context_->patch_minor - context_->installed_minor;
  const char* prefixes[] = {version_prefix, "All\\", "Add\\"};
  for (int i = 0; i < 3; ++i) {
    if (!PassPending(steps + i)) continue;
    SetField(context_->prefix, prefixes[i]);
    context_->names.Clear();
    EnumeratePayload(module_, CollectPayloadNames, context_.get());
    PickDistributionFiles(&context_->names, chain_);
    const size_t prefix_length = std::strlen(prefixes[i]);
    for (const RString& name : context_->names) {
      if (static_cast<size_t>(name.GetLength()) < prefix_length) continue;
      int base_length = 0;
      DistributionSuffix(name.Data() + prefix_length, &base_length);
      files.emplace_back(name.Data() + prefix_length, static_cast<size_t>(base_length));
    }
  }
  context_->names.Clear();
  return files;
}

// The installation must be exactly the installed version's, or where an
// interrupted run of this patch left it. 0 when it is; otherwise the
// run's exit code (the failure was told).
// Shows each file as the check reads it and keeps the window answering;
// stops when the player closes it.
StepFileProgress PatchRun::CheckProgress(int minor) {
  if (!window_) return {};
  auto figures = std::make_shared<CheckFigures>(*context_, context_->installed_major, minor);
  return [this, figures](const char* name) {
    context_->files_checked.insert(name);
    window_->ShowWork(figures->work());
    figures->Count(name);
    window_->SetProgress(kMsgCheckingFile, name);
    window_->ProcessMessages();
    return !StopRequested();
  };
}

int PatchRun::CheckInstallation(const char* version_prefix) {
  SetField(context_->installation_directory, installation_directory_);
  if (resumed_) {
    // The finished steps were checked by the run that did them; the step in
    // hand has each file at its source or its target, and the whole files to
    // come are checked after they are copied.
    if (first_step_ >= context_->patch_minor) return 0;
    if (window_) window_->AddLine(kMsgVerifying, context_->installed_major, first_step_);
    const int from = context_->installed_major * 100 + first_step_;
    for (;;) {
      const bool sound = CheckResumedStep(module_, installation_directory_, from, from + 1,
                                          LaterWholeFiles(version_prefix), &interrupted_,
                                          CheckProgress(first_step_));
      if (window_) window_->SetProgressText("%s", "");
      if (StopRequested()) return Stopped();
      if (sound) break;
      // Held by the game or another program: not damaged. Retry reads again.
      if (interrupted_.in_use.empty()) return FailInWindow(kMsgInstallationDamaged);
      if (!AskRetryCancel(&self_, window_.get(), kMsgFileInUse, interrupted_.in_use.c_str())) {
        return Stopped();
      }
    }
    ReportLog("Resuming the step from %d.%02d: %d files already updated", context_->installed_major,
              first_step_, static_cast<int>(interrupted_.advanced.size()));
    return 0;
  }
  if (window_) window_->AddLine(kMsgVerifying, VersionMajor(installed_), VersionMinor(installed_));
  SetField(context_->prefix, version_prefix);
  // A run that was interrupted in its first step left files of both
  // versions; they were just checked against both lists.
  if (is_patch_ && context_->installed_minor < context_->patch_minor) {
    interrupted_ = FindInterruptedStep(module_, installation_directory_, installed_, installed_ + 1,
                                       CheckProgress(context_->installed_minor));
    if (window_) window_->SetProgressText("%s", "");
    if (StopRequested()) return Stopped();
  }
  if (interrupted_.interrupted) {
    ReportLog("Resuming the step from %s: %d files already updated", installed_text_,
              static_cast<int>(interrupted_.advanced.size()));
    return 0;
  }
  // Every file was just read and matched the installed version's list: the
  // check below would read them all again to the same end.
  if (interrupted_.all_at_source) return 0;
  switch (VerifyInstallation(context_.get(), nullptr, true, false)) {
    case kVerifyPassed:
      return 0;
    case kVerifyStopped:
      return Stopped();
    default:
      return StopRequested() ? Stopped() : FailInWindow(kMsgInstallationDamaged);
  }
}

// Records that the first `passes` passes of the run are complete. A journal
// that cannot be written stops the run: without it an interruption could not
// be finished by running the patch again.
bool PatchRun::MarkPassDone(int passes) {
  if (!journal_kept_) return true;
  journal_.passes_done = passes;
  return WriteRunJournal(installation_directory_, journal_);
}

int PatchRun::Run() {
  const int exit_code = RunPhases();
  if (exit_code != 0) ReportLog("The run ended while %s", RunPhaseName(phase_));
  return exit_code;
}

int PatchRun::RunPhases() {
  Enter(RunPhase::kOpenPayload);
  if (int failed = OpenPayload()) return failed;
  Enter(RunPhase::kFindGame);
  if (int failed = FindGame()) return failed;
  LoadJournal();
  Enter(RunPhase::kCheckVersion);
  if (int failed = CheckVersion()) return failed;
  Enter(RunPhase::kChooseDistribution);
  if (int failed = ChooseDistribution()) return failed;
  Enter(RunPhase::kOpenWindow);
  OpenWindow();
  if (!resumed_) first_step_ = context_->installed_minor;
  // The run this one continues met the payload's steps already.
  if (resumed_) context_->seen = 1;
  std::snprintf(version_prefix_, sizeof version_prefix_, "%s\\", installed_text_);
  steps_ = is_patch_ && context_->installed_minor < context_->patch_minor
               ? context_->patch_minor - context_->installed_minor
               : 0;

  Enter(RunPhase::kCheckInstallation);
  if (!already_at_version_ && addon_name_.IsEmpty()) {
    if (int failed = CheckInstallation(version_prefix_)) return failed;
  }
  if (is_patch_) {
    Enter(RunPhase::kCheckFreeSpace);
    if (int failed = CheckFreeSpace()) return failed;
  }
  Enter(RunPhase::kStageWholeFiles);
  StageWholeFiles();
  if (StopRequested()) return Stopped();
  // Nothing installed has changed so far; from here on files do. The payload
  // must be what was signed first.
  if (!PayloadSound()) return PayloadFault();
  if (window_) {
    if (!addon_name_.IsEmpty()) {
      window_->AddLine(kMsgInstallingAddon, addon_name_.Data());
    } else {
      window_->AddLine(kMsgUpdatingTitle, installed_text_, patch_text_.Data());
    }
  }

  // Passes of a patch run, in order: each version step, then the whole files
  // of the installed version, of All and of Add.
  if (is_patch_) {
    Enter(RunPhase::kUpdateSteps);
    if (int failed = UpdateSteps()) return failed;
  }
  RemoveLastStepLeftovers();
  Enter(RunPhase::kCopyWholeFiles);
  if (int failed = CopyWholeFilePasses()) return failed;
  Enter(RunPhase::kVerifyResult);
  if (int failed = VerifyEndResult()) return failed;
  Enter(RunPhase::kWriteRegistry);
  return WriteRegistryAndFinish();
}

// Every version step must fit on the installation's drive before any starts;
// every step stays within the installed major number.
int PatchRun::CheckFreeSpace() {
  const int major = context_->installed_major;
  for (int i = first_step_; i < context_->patch_minor; ++i) {
    SetField(context_->installation_directory, installation_directory_);
    std::snprintf(context_->prefix, sizeof context_->prefix, "%d.%02d-", major, i);
    EnumeratePayload(module_, StepSpaceCallback, context_.get());
    if (context_->disk_full) {
      if (window_) window_->Destroy();
      char drive[8];
      std::snprintf(drive, sizeof drive, "%c:", installation_directory_[0]);
      return FailBox(kMsgDiskFull, drive);
    }
    ProcessPendingMessages();
  }
  return StopRequested() ? Stopped() : 0;
}

// While the payload's digests are made, nothing may change; the whole files
// of the passes to come are written to their work files meanwhile (see
// whole_file_staging.h), so that the wait costs little. Only with digests to
// wait for (a payload without an item list runs as it always did), and only
// while the volume keeps the room the version steps need besides. A file
// that cannot be staged is left to its pass, which tells what went wrong.
void PatchRun::StageWholeFiles() {
  if (payload_verdict_known_) return;
  StageWholeFilesWhileRoom();
  context_->names.Clear();
  if (window_) window_->SetProgressText("%s", "");
  if (staged_.Count() > 0) {
    ReportLog("Wrote %zu whole files ahead while the payload was checked", staged_.Count());
  }
}

void PatchRun::StageWholeFilesWhileRoom() {
  const std::string directory = installation_directory_;
  const auto passes = WholeFilePasses();
  for (int i = 0; i < 3; ++i) {
    if (!PassPending(steps_ + i) || !passes[i].wanted) continue;
    CollectPassNames(passes[i].prefix);
    const size_t prefix_length = std::strlen(passes[i].prefix);
    for (const RString& name : context_->names) {
      if (StopRequested()) return;
      if (static_cast<size_t>(name.GetLength()) < prefix_length) continue;
      const uint64_t room = uint64_t{PayloadSizeQuietly(name.Data(), module_)} +
                            context_->step_space_needed + kStagingReserve;
      if (!HasFreeSpace(installation_directory_, room)) return;
      const std::string target = WholeFileTarget(directory, name.Data() + prefix_length);
      if (window_) window_->SetProgressText("%s", target.c_str() + directory.size());
      staged_.Stage(module_, name.Data(), target, directory);
      ProcessPendingMessages();
    }
  }
}

// The version steps still to do, each recorded in the journal when done.
int PatchRun::UpdateSteps() {
  if (steps_ > 0 && !resumed_) {
    // From here on files change: the journal says what this run started
    // from, before the first of them does.
    journal_ = RunJournal{patch_text_.Data(), installed_text_, context_->distribution.Data(), 0};
    journal_kept_ = true;
    if (!MarkPassDone(0)) return FailInWindow(kMsgFolderNotWritable, installation_directory_);
  }
  for (int j = first_step_; j < context_->patch_minor; ++j) {
    if (!UpdateStep(j)) break;
    if (!MarkPassDone(j - context_->installed_minor + 1)) {
      return FailInWindow(kMsgFolderNotWritable, installation_directory_);
    }
    if (StopRequested()) return Stopped();
  }
  if (StopRequested()) return Stopped();
  if (context_->error) return FailPass(kPassVersionSteps);
  return 0;
}

// A run interrupted after the game executable reached this version may have
// left the last step's extracted update beside it.
void PatchRun::RemoveLastStepLeftovers() {
  if (!(already_at_version_ || (resumed_ && first_step_ >= context_->patch_minor)) || !is_patch_ ||
      context_->patch_minor == 0) {
    return;
  }
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

// The whole-file passes still to do.
int PatchRun::CopyWholeFilePasses() {
  const auto passes = WholeFilePasses();
  for (int i = 0; i < 3; ++i) {
    if (!PassPending(steps_ + i)) continue;
    if (passes[i].wanted && !CopyPass(passes[i].prefix)) return FailPass(passes[i].number);
    if (!MarkPassDone(steps_ + i + 1))
      return FailInWindow(kMsgFolderNotWritable, installation_directory_);
    if (StopRequested()) return Stopped();
  }
  if (!context_->seen) {
    // Nothing of the payload was met at all: this patch has nothing for the
    // installed version.
    if (window_) window_->Destroy();
    return FailBox(kMsgVersionNotSupported, installed_text_, patch_text_.Data());
  }
  return 0;
}

// A run at the patch's version, or one that continues an interrupted run
// (part of the result is that run's), checks the end result against the
// patch version's list. The passes checked what they wrote themselves.
int PatchRun::VerifyEndResult() {
  if (already_at_version_ || resumed_) {
    if (window_) window_->AddLine(kMsgVerifying, VersionMajor(patch_), VersionMinor(patch_));
    int verified = VerifyInstallation(context_.get(), nullptr, false, false);
    if (verified == kVerifyStopped || StopRequested()) return Stopped();
    if (verified != kVerifyPassed) {
      return FailInWindow(kMsgPatchError, installed_text_, static_cast<int>(kPassFinalCheck));
    }
  }
  return StopRequested() ? Stopped() : 0;
}

RunSummary PatchRun::Summary() const {
  RunSummary summary;
  summary.from_version = installed_text_;
  if (addon_name_.IsEmpty()) summary.to_version = patch_text_.Data();
  summary.addon = addon_name_.IsEmpty() ? "" : addon_name_.Data();
  summary.files_updated = context_->files_updated;
  summary.files_copied = context_->files_copied;
  summary.files_checked = static_cast<int>(context_->files_checked.size());
  summary.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  if (platform::FileExists(kPatchLogName)) summary.log_path = platform::AbsolutePath(kPatchLogName);
  return summary;
}

// The manifest's registry values, then the journal goes and the window says
// what was done.
int PatchRun::WriteRegistryAndFinish() {
  // A value not written is a run not finished: the journal stays, so the
  // next run writes the values again.
  std::string registry_failure;
  ApplyRegistryUpdates(manifest_, context_->distribution, &registry_failure);
  if (!registry_failure.empty()) return FailInWindow(kMsgRegistryFailed, registry_failure.c_str());
  // Done: a later run must not take this one for unfinished.
  if (journal_kept_) RemoveRunJournal(installation_directory_);
  if (window_) {
    window_->SetProgressText("%s", "");
    window_->StopAnimation();
    if (!addon_name_.IsEmpty()) {
      window_->AddLine(kMsgAddonInstalled, addon_name_.Data());
    } else {
      window_->AddLine(kMsgPatchApplied, patch_text_.Data(), installed_text_);
    }
    window_->ShowSummary(Summary());
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
