#include "run/step_execution.h"

#include <cstring>
#include <memory>

#include "engine/apply_patch.h"
#include "engine/update_path.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "run/message_catalogue.h"
#include "run/payload_store.h"
#include "run/verify_installation.h"
#include "ui/console_window.h"

namespace corvane {

namespace {

constexpr uint64_t kStepSpareBytes = 10u << 20;

FreeSpaceFunction free_space_function = nullptr;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

ModuleInstance WindowInstance(const PatchContext* context) {
  return context->window != nullptr ? context->window->Instance() : nullptr;
}

// The paths of one update, built from the rest of its payload name.
struct StepPaths {
  std::string update;    // installation directory + rest
  std::string target;    // installation directory + rest less its extension
  std::string temporary; // target's stem + ".tmp"
  std::string relative;  // rest less its extension
};

bool BuildStepPaths(const PatchContext* context, const char* rest, StepPaths* paths) {
  std::string directory = context->installation_directory;
  paths->relative = CutExtension(rest);
  paths->update = directory + rest;
  paths->target = directory + paths->relative;
  paths->temporary = paths->target + ".tmp";
  return paths->update.size() <= kMaxEnginePath && paths->temporary.size() <= kMaxEnginePath;
}

void RemoveQuietly(const std::string& path) { platform::RemoveFile(path.c_str()); }

void Fail(PatchContext* context, const std::string& failed_file) {
  context->error = 1;
  context->SetFailedFile(failed_file.c_str());
}

// Moves the new content over the installed file in one step; the installed
// file stays as it was when that is not possible.
bool ReplaceInstalledFile(const StepPaths& paths) {
  if (!platform::QueryFileAttributes(paths.temporary.c_str()).exists) return false;
  platform::FileAttributes installed = platform::QueryFileAttributes(paths.target.c_str());
  if (installed.exists && installed.read_only) {
    platform::SetReadOnly(paths.target.c_str(), false);
  }
  if (platform::RenameReplacing(paths.temporary.c_str(), paths.target.c_str())) return true;
  if (installed.exists && installed.read_only) platform::SetReadOnly(paths.target.c_str(), true);
  RemoveQuietly(paths.temporary);
  return false;
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

bool HasFreeSpace(const char* path, uint64_t needed) {
  uint64_t free_bytes = 0;
  bool known = free_space_function != nullptr ? free_space_function(path, &free_bytes)
                                              : platform::FreeDiskSpace(path, &free_bytes);
  return !known || free_bytes >= needed;
}

bool StepSpaceCallback(const platform::ResourceModule* module, int /*type*/, const char* name,
                       PatchContext* context) {
  if (IsNumberedResourceName(name)) return true;
  context->seen = 1;
  const char* rest = nullptr;
  if (!MatchStepName(name, context->prefix, &rest)) return true;

  StepPaths paths;
  if (!BuildStepPaths(context, rest, &paths)) return false;
  uint64_t file_length = 0;
  {
    platform::ScopedFile target(platform::FileOpenRead(paths.target.c_str()));
    if (!target.IsValid() || !platform::FileSize64(target.Get(), &file_length)) return false;
  }
  uint64_t update_size = PayloadSize(name, *module);
  if (!HasFreeSpace(paths.target.c_str(), StepBytesNeeded(update_size, file_length))) {
    context->disk_full = 1;
    return false;
  }
  return true;
}

bool StepUpdateCallback(const platform::ResourceModule* module, int /*type*/, const char* name,
                        PatchContext* context) {
  if (IsNumberedResourceName(name)) return true;
  context->seen = 1;
  const char* rest = nullptr;
  if (!MatchStepName(name, context->prefix, &rest)) return true;

  StepPaths paths;
  if (!BuildStepPaths(context, rest, &paths)) {
    Fail(context, CutExtension(rest));
    return false;
  }
  if (context->window != nullptr) context->window->SetProgressText("%s", paths.relative.c_str());

  if (!ExtractPayload(name, paths.update.c_str(), *module)) {
    Fail(context, paths.target);
    return false;
  }
  // From here on the installed file's name has the letter case of the disk.
  std::string stored;
  if (!platform::StoredFileName(paths.target.c_str(), &stored)) {
    Fail(context, paths.target);
    RemoveQuietly(paths.update);
    return false;
  }
  paths.target.replace(paths.target.size() - FileNamePart(paths.target).size(), std::string::npos,
                       stored);

  bool replace = false;
  for (;;) {
    int result;
    {
      // The action goes before anything is moved: that releases every view
      // and handle of the installed file and the update.
      std::unique_ptr<IPatchAction> action(NewApplyPatch());
      result = action != nullptr ? action->Process(paths.temporary.c_str(), paths.update.c_str(),
                                                   paths.target.c_str(), true)
                                 : kPatchFailed;
    }
    if (result == kPatchDone) {
      replace = true;
      break;
    }
    if (result == kPatchNothingToDo) break;
    int answer = AskAbortRetryIgnore(WindowInstance(context), context->window, true,
                                     kMsgFileError, paths.relative.c_str(), 0u, 1u);
    if (answer == 1) continue;
    if (answer == 2) {
      replace = true;
      break;
    }
    RemoveQuietly(paths.temporary);
    Fail(context, paths.relative);
    RemoveQuietly(paths.update);
    return false;
  }

  if (replace && !ReplaceInstalledFile(paths)) Fail(context, paths.relative);
  RemoveQuietly(paths.update);
  return !context->error;
}

void CopyWholeFiles(PatchContext* context) {
  const std::string directory = context->installation_directory;
  const size_t prefix_length = std::strlen(context->prefix);
  ModuleInstance instance = WindowInstance(context);
  for (const RString& name : context->names) {
    if (static_cast<size_t>(name.GetLength()) < prefix_length) continue;
    const char* rest = name.Data() + prefix_length;
    std::string target = directory + rest;
    size_t dot = target.rfind('.');
    if (dot != std::string::npos && dot + 1 < target.size() && target[dot + 1] == '#') {
      target.resize(dot);
    }
    const std::string shown = target.substr(directory.size());
    if (context->window != nullptr) context->window->SetProgressText("%s", shown.c_str());

    bool next_name = false;
    while (!next_name) {
      if (!ExtractPayload(name.Data(), target.c_str(), *context->module)) {
        int answer = AskAbortRetryIgnore(instance, context->window, true, kMsgFileErrorShort,
                                         name.Data());
        if (answer == 1) continue;
        if (answer == 2) break;
        Fail(context, shown);
        return;
      }
      switch (VerifyInstallation(context, rest, false, true)) {
        case kVerifyRetry:
          continue;
        case kVerifyPassed:
          next_name = true;
          break;
        default:
          Fail(context, shown);
          return;
      }
    }
  }
}

}  // namespace corvane
