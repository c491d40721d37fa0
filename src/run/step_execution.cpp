#include "run/step_execution.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "engine/apply_patch.h"
#include "engine/update_path.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "run/message_catalogue.h"
#include "run/payload_store.h"
#include "run/step_result_check.h"
#include "run/whole_file_staging.h"
#include "ui/console_window.h"

namespace corvane {

namespace {

using platform::FileFault;

constexpr uint64_t kStepSpareBytes = 10u << 20;

FreeSpaceFunction free_space_function = nullptr;
InstalledOpenFunction installed_open_function = nullptr;
ReplaceFunction replace_function = nullptr;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ModuleInstance WindowInstance(const PatchContext* context) {
  return context->window != nullptr ? context->window->Instance() : nullptr;
}

// Keeps the window answering: after every file, and from within long work
// on one file.
void Pump(const PatchContext* context) {
  if (context->window != nullptr) context->window->ProcessMessages();
}
std::function<void()> Pumper(const PatchContext* context) {
  ConsoleWindowProgress* window = context->window;
  if (window == nullptr) return {};
  return [window] { window->ProcessMessages(); };
}

// The paths of one update, built from the rest of its payload name.
struct StepPaths {
  std::string update;     // installation directory + rest
  std::string target;     // installation directory + rest less its extension
  std::string temporary;  // target's stem + ".tmp"
  std::string relative;   // rest less its extension
};

bool BuildStepPaths(const PatchContext* context, const char* rest, StepPaths* paths) {
  std::string directory = context->installation_directory;
  paths->relative = CutExtension(rest);
  paths->update = directory + rest;
  paths->target = directory + paths->relative;
  paths->temporary = paths->target + ".tmp";
  return paths->update.size() <= kMaxEnginePath && paths->temporary.size() <= kMaxEnginePath;
}

// The version a step's payload name leads to: "<prefix><major>.<minor>\...".
// False when the text there holds no version number.
bool StepTargetVersion(const char* name, const char* prefix, int* major, int* minor) {
  const char* p = name + std::strlen(prefix);
  if (!IsDigit(*p)) return false;
  int values[2] = {0, 0};
  for (int part = 0; part < 2; ++part) {
    int digits = 0;
    for (; IsDigit(*p); ++p) {
      if (++digits > 4) return false;
      values[part] = values[part] * 10 + (*p - '0');
    }
    if (*p != (part == 0 ? '.' : '\\')) return false;
    ++p;
  }
  *major = values[0];
  *minor = values[1];
  return true;
}

void RemoveQuietly(const std::string& path) { platform::RemoveFile(path.c_str()); }

void Fail(PatchContext* context, const std::string& failed_file) {
  context->error = 1;
  context->SetFailedFile(failed_file.c_str());
}

bool IsBlocked(FileFault fault) {
  return fault == FileFault::kInUse || fault == FileFault::kAccessDenied;
}

FileFault OpenInstalledOnDisk(const char* path) {
  platform::ScopedFile file(platform::FileOpenRead(path));
  return file.IsValid() ? FileFault::kNone : platform::LastFileFault();
}

FileFault ReplaceOnDisk(const char* from, const char* to) {
  return platform::RenameReplacing(from, to) ? FileFault::kNone : platform::LastFileFault();
}

FileFault OpenInstalled(const std::string& path) {
  return installed_open_function != nullptr ? installed_open_function(path.c_str())
                                            : OpenInstalledOnDisk(path.c_str());
}

FileFault Replace(const std::string& from, const std::string& to) {
  return replace_function != nullptr ? replace_function(from.c_str(), to.c_str())
                                     : ReplaceOnDisk(from.c_str(), to.c_str());
}

// A file held by another program (the game itself, often): the player can
// close it and go on. True for Retry.
bool AskFileInUse(PatchContext* context, const std::string& relative) {
  if (AskRetryCancel(WindowInstance(context), context->window, kMsgFileInUse, relative.c_str()))
    return true;
  context->stopped = 1;
  return false;
}

// A folder the player may not write to, named by a file that goes there.
bool AskFolderNotWritable(PatchContext* context, const std::string& file_path) {
  std::string folder = file_path.substr(0, file_path.size() - FileNamePart(file_path).size());
  if (folder.size() > 1 && folder.back() == '\\') folder.pop_back();
  if (AskRetryCancel(WindowInstance(context), context->window, kMsgFolderNotWritable,
                     folder.c_str())) {
    return true;
  }
  context->stopped = 1;
  return false;
}

// A work file that could not be made: an unwritable folder or a work file
// held by another program asks the player (true for Retry); anything else
// is no question.
bool AskAboutWorkFile(PatchContext* context, FileFault fault, const std::string& work_path,
                      bool* asked) {
  *asked = IsBlocked(fault);
  if (!*asked) return false;
  if (fault == FileFault::kAccessDenied) return AskFolderNotWritable(context, work_path);
  std::string directory = context->installation_directory;
  return AskFileInUse(context, work_path.substr(directory.size()));
}

enum class ReplaceOutcome { kDone, kFailed, kCancelled };

// Moves the proven work file over the installed file in one rename, so the
// installed file is never missing. A read-only installed file is replaced
// all the same and is read-only again afterwards; the attribute is that of
// the file at the name, never of a link's target. An installed file held by
// another program asks Retry/Cancel.
ReplaceOutcome ReplaceInstalledFile(PatchContext* context, const std::string& work,
                                    const std::string& target, const std::string& relative) {
  platform::FileAttributes produced = platform::QueryFileAttributes(work.c_str());
  if (!produced.exists || produced.link) return ReplaceOutcome::kFailed;
  for (;;) {
    platform::FileAttributes installed = platform::QueryFileAttributes(target.c_str());
    bool read_only = installed.exists && installed.read_only && !installed.link;
    if (read_only) platform::SetReadOnly(target.c_str(), false);
    FileFault fault = Replace(work, target);
    if (read_only) platform::SetReadOnly(target.c_str(), true);
    if (fault == FileFault::kNone) return ReplaceOutcome::kDone;
    if (!IsBlocked(fault)) return ReplaceOutcome::kFailed;
    if (!AskFileInUse(context, relative)) return ReplaceOutcome::kCancelled;
  }
}

// The check of a file a step or a pass produced against its list: true when
// it passes or the list says nothing of it. On a mismatch `expected` and
// `computed` hold the first listed value and the file's CRC.
bool ProvenByList(const PatchContext* context, const ListedCrcs& listed, const std::string& path,
                  uint32_t* expected, uint32_t* computed) {
  if (!listed.listed) return true;
  *expected = listed.values.empty() ? 0 : listed.values[0];
  *computed = 0;
  if (!FileCrc(path.c_str(), computed, Pumper(context))) return false;
  return listed.Matches(*computed);
}

enum class StepStage { kGoOn, kStop };

// Extracts the update file beside the installed file. kStop after raising
// the error flag.
StepStage ExtractUpdate(PatchContext* context, const platform::ResourceModule& module,
                        const char* name, const StepPaths& paths) {
  for (;;) {
    FileFault fault = FileFault::kNone;
    if (WritePayloadFile(name, paths.update.c_str(), module, &fault)) {
      return StepStage::kGoOn;
    }
    bool asked = false;
    if (AskAboutWorkFile(context, fault, paths.update, &asked)) continue;
    Fail(context, asked ? paths.relative : paths.target);
    return StepStage::kStop;
  }
}

// Waits, with the player, until the installed file can be opened: a file
// held by another program would otherwise read as a damaged one.
StepStage WaitUntilReadable(PatchContext* context, const StepPaths& paths) {
  for (;;) {
    FileFault fault = OpenInstalled(paths.target);
    if (!IsBlocked(fault)) return StepStage::kGoOn;  // readable, or the application reports it
    if (!AskFileInUse(context, paths.relative)) {
      Fail(context, paths.relative);
      return StepStage::kStop;
    }
  }
}

}  // namespace

bool MatchStepName(const char* name, const char* prefix, const char** rest) {
  if (!StartsWithNoCase(name, prefix)) return false;
  const char* p = name + std::strlen(prefix);
  if (*p == '\0') return false;
  ++p;  // the first character of the target version, whatever it is
  while (IsDigit(*p)) ++p;
  if (*p != '.') return false;
  ++p;
  while (IsDigit(*p)) ++p;
  if (*p != '\\') return false;
  *rest = p + 1;
  return true;
}

uint64_t StepBytesNeeded(uint64_t update_size, uint64_t file_length) {
  return update_size + 2 * file_length + kStepSpareBytes;
}

void SetFreeSpaceFunction(FreeSpaceFunction function) { free_space_function = function; }
void SetInstalledOpenFunction(InstalledOpenFunction function) {
  installed_open_function = function;
}
void SetReplaceFunction(ReplaceFunction function) { replace_function = function; }

namespace {

// Raises the seen flag for a named resource and answers whether `name` is
// one of the step's updates, with `rest` set past its prefix and version.
bool IsStepResource(const char* name, PatchContext* context, const char** rest) {
  if (IsNumberedResourceName(name)) return false;
  context->seen = 1;
  return MatchStepName(name, context->prefix, rest);
}

}  // namespace

bool HasFreeSpace(const char* path, uint64_t needed) {
  uint64_t free_bytes = 0;
  bool known = free_space_function != nullptr ? free_space_function(path, &free_bytes)
                                              : platform::FreeDiskSpace(path, &free_bytes);
  return !known || free_bytes >= needed;
}

bool StepSpaceCallback(const platform::ResourceModule* module, int /*type*/, const char* name,
                       PatchContext* context) {
  const char* rest = nullptr;
  if (!IsStepResource(name, context, &rest)) return true;

  StepPaths paths;
  if (!BuildStepPaths(context, rest, &paths)) return false;
  uint64_t file_length = 0;
  {
    platform::ScopedFile target(platform::FileOpenRead(paths.target.c_str()));
    if (!target.IsValid() || !platform::FileSize64(target.Get(), &file_length)) return false;
  }
  uint64_t update_size = PayloadSize(name, *module);
  const uint64_t needed = StepBytesNeeded(update_size, file_length);
  if (needed > context->step_space_needed) context->step_space_needed = needed;
  if (!HasFreeSpace(paths.target.c_str(), needed)) {
    context->disk_full = 1;
    return false;
  }
  // Thousands of files are opened and measured here before the step begins.
  Pump(context);
  return true;
}

bool StepUpdateCallback(const platform::ResourceModule* module, int /*type*/, const char* name,
                        PatchContext* context) {
  const char* rest = nullptr;
  if (!IsStepResource(name, context, &rest)) return true;

  StepPaths paths;
  if (!BuildStepPaths(context, rest, &paths)) {
    Fail(context, CutExtension(rest));
    return false;
  }
  if (context->window != nullptr) context->window->SetProgressText("%s", paths.relative.c_str());

  if (ExtractUpdate(context, *module, name, paths) == StepStage::kStop) return false;
  // From here on the installed file's name has the letter case of the disk.
  std::string stored;
  if (!platform::StoredFileName(paths.target.c_str(), &stored)) {
    Fail(context, paths.target);
    RemoveQuietly(paths.update);
    return false;
  }
  paths.target.replace(paths.target.size() - FileNamePart(paths.target).size(), std::string::npos,
                       stored);
  if (WaitUntilReadable(context, paths) == StepStage::kStop) {
    RemoveQuietly(paths.update);
    return false;
  }

  // What the target version's list says the new file must be.
  ListedCrcs listed;
  int target_major = 0;
  int target_minor = 0;
  if (StepTargetVersion(name, context->prefix, &target_major, &target_minor) &&
      !BroughtWholeLater(context, paths.relative)) {
    listed = FindListedCrcs(*module, target_major, target_minor, paths.relative, true);
  }

  bool replace = false;
  for (;;) {
    int result;
    FileFault output_fault;
    {
      // The action goes before anything is moved: that releases every view
      // and handle of the installed file and the update.
      std::unique_ptr<ApplyPatch> action(new (std::nothrow) ApplyPatch(context->engine_messages));
      if (action != nullptr) {
        action->SetProgress(Pumper(context));
        // Renamed over the installed file: it must be on the disk first.
        action->SetDurableOutput(true);
        result = action->Process(paths.temporary.c_str(), paths.update.c_str(),
                                 paths.target.c_str(), true);
        output_fault = action->OutputFault();
      } else {
        result = kPatchFailed;
        output_fault = FileFault::kNone;
      }
    }
    if (result == kPatchNothingToDo) break;
    bool asked = false;
    if (result == kPatchFailed &&
        AskAboutWorkFile(context, output_fault, paths.temporary, &asked)) {
      continue;
    }
    if (asked) {
      Fail(context, paths.relative);
      RemoveQuietly(paths.update);
      return false;
    }
    uint32_t expected = 0;
    uint32_t computed = 1;
    if (result == kPatchDone) {
      // Proven before it replaces anything: a wrong result is a failed
      // application, never a replaced file.
      if (ProvenByList(context, listed, paths.temporary, &expected, &computed)) {
        replace = true;
        break;
      }
      RemoveQuietly(paths.temporary);
      if (context->window != nullptr) {
        context->window->AddLine(kMsgFileError, paths.relative.c_str(), expected, computed);
      }
    }
    int answer = AskAbortRetryIgnore(WindowInstance(context), context->window, true, kMsgFileError,
                                     paths.relative.c_str(), expected, computed);
    if (answer == 1) continue;
    if (answer == 2) {
      // Replace with whatever was produced; a refused result is gone, so the
      // installed file stays and the step fails.
      replace = true;
      break;
    }
    RemoveQuietly(paths.temporary);
    Fail(context, paths.relative);
    RemoveQuietly(paths.update);
    return false;
  }

  if (replace) {
    if (ReplaceInstalledFile(context, paths.temporary, paths.target, paths.relative) ==
        ReplaceOutcome::kDone) {
      ++context->files_updated;
    } else {
      RemoveQuietly(paths.temporary);
      Fail(context, paths.relative);
    }
  }
  RemoveQuietly(paths.update);
  Pump(context);
  return !context->error;
}

namespace {

enum class PassStage { kNext, kStop };

// Ignore on a whole file that could not be put in place: the pass may only go
// on without it when the installed copy is there; a missing file fails the
// pass (the remaining files are still copied).
PassStage SkipWholeFile(PatchContext* context, const std::string& target,
                        const std::string& shown) {
  if (!platform::FileExists(target.c_str())) Fail(context, shown);
  return PassStage::kNext;
}

// One whole file: extracted to a work file beside the target, proven against
// the patch version's list, and only then renamed over the installed file.
// What the player's answer to a failed whole file means: Retry (1) goes round
// again (kRetry), Ignore (2) skips the file where that is safe, Abort stops
// the pass.
enum class WholeFileAnswer { kRetry, kSkip, kStop };

WholeFileAnswer ReadWholeFileAnswer(int answer) {
  if (answer == 1) return WholeFileAnswer::kRetry;
  return answer == 2 ? WholeFileAnswer::kSkip : WholeFileAnswer::kStop;
}

PassStage CopyWholeFile(PatchContext* context, const char* name, const char* rest,
                        const std::string& target, const std::string& shown) {
  ModuleInstance instance = WindowInstance(context);
  const std::string work = target + kPartSuffix;
  // Written while the payload's digests were made; a retry extracts afresh.
  bool staged = context->staged != nullptr && context->staged->Take(name, target);
  for (;;) {
    WholeFileAnswer answer = WholeFileAnswer::kStop;
    FileFault fault = FileFault::kNone;
    uint32_t expected = 0;
    uint32_t computed = 0;
    const bool extracted =
        staged || WritePayloadFile(name, work.c_str(), *context->module, &fault, target.c_str());
    staged = false;
    if (!extracted) {
      bool asked = false;
      if (AskAboutWorkFile(context, fault, work, &asked)) continue;
      if (!asked) {
        answer = ReadWholeFileAnswer(AskAbortRetryIgnore(instance, context->window, true,
                                                         kMsgFileErrorShort, shown.c_str()));
      }
    } else {
      ListedCrcs listed =
          FindListedCrcs(*context->module, context->patch_major, context->patch_minor, rest, false);
      if (!listed.list_found && context->window != nullptr) {
        context->window->AddLine(kMsgNoFileCrc, rest, context->patch_major, context->patch_minor);
      }
      if (!ProvenByList(context, listed, work, &expected, &computed)) {
        RemoveQuietly(work);
        if (context->window != nullptr) {
          context->window->AddLine(kMsgFileError, shown.c_str(), expected, computed);
        }
        answer = ReadWholeFileAnswer(AskAbortRetryIgnore(
            instance, context->window, true, kMsgFileError, shown.c_str(), expected, computed));
      } else {
        ReplaceOutcome outcome = ReplaceInstalledFile(context, work, target, shown);
        if (outcome == ReplaceOutcome::kDone) {
          ++context->files_copied;
          return PassStage::kNext;
        }
        RemoveQuietly(work);
        if (outcome != ReplaceOutcome::kCancelled) {
          answer = ReadWholeFileAnswer(AskAbortRetryIgnore(instance, context->window, true,
                                                           kMsgFileErrorShort, shown.c_str()));
        }
      }
    }
    if (answer == WholeFileAnswer::kRetry) continue;
    if (answer == WholeFileAnswer::kSkip) return SkipWholeFile(context, target, shown);
    Fail(context, shown);
    return PassStage::kStop;
  }
}

}  // namespace

std::string WholeFileTarget(const std::string& directory, const char* rest) {
  std::string target = directory + rest;
  size_t dot = target.rfind('.');
  if (dot != std::string::npos && dot + 1 < target.size() && target[dot + 1] == '#') {
    target.resize(dot);
  }
  return target;
}

void CopyWholeFiles(PatchContext* context) {
  const std::string directory = context->installation_directory;
  const size_t prefix_length = std::strlen(context->prefix);
  WorkProgress work = PayloadWork("whole files", context->names, *context->module);
  for (const RString& name : context->names) {
    if (context->window != nullptr) context->window->ShowWork(work);
    CountPayloadItemDone(&work, name.Data(), *context->module);
    if (static_cast<size_t>(name.GetLength()) < prefix_length) continue;
    const char* rest = name.Data() + prefix_length;
    const std::string target = WholeFileTarget(directory, rest);
    const std::string shown = target.substr(directory.size());
    if (context->window != nullptr) context->window->SetProgressText("%s", shown.c_str());

    PassStage stage = CopyWholeFile(context, name.Data(), rest, target, shown);
    Pump(context);
    if (stage == PassStage::kStop) return;
  }
  if (context->window != nullptr) context->window->ShowWork(WorkProgress{});
}

}  // namespace corvane
