#include "run/step_resume.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/checksum_list.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "run/payload_store.h"
#include "run/verify_installation.h"

namespace corvane {

namespace {

std::unique_ptr<char[]> LoadList(const platform::ResourceModule& module, int version,
                                 uint32_t* size) {
  char name[64];
  std::snprintf(name, sizeof name, "crc\\%d.%02d\\crc.crc", version / 100, version % 100);
  return LoadPayloadText(name, module, size);
}

// The installed file of a listed name: the distribution suffix is not part of it.
std::string InstalledPath(const char* directory, std::string_view name) {
  std::string path = std::string(directory) + std::string(name);
  size_t dot = path.rfind('.');
  size_t separator = path.find_last_of("\\:");
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator) &&
      dot + 1 < path.size() && path[dot + 1] == '#') {
    path.resize(dot);
  }
  return path;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool InterruptedStep::IsAdvanced(const char* relative_name) const {
  for (const std::string& name : advanced) {
    if (SameNoCase(name, relative_name)) return true;
  }
  return false;
}

namespace {

// Compares every line of the source list with the installation; see
// FindInterruptedStep and CheckResumedStep. False at the first required file
// that is at neither version (and not one of `later_files`), and when
// `progress` stops it.
bool CompareStep(const platform::ResourceModule& module, const char* installation_directory,
                 int from_version, int to_version, const std::vector<std::string>* later_files,
                 const StepFileProgress& progress, InterruptedStep* step) {
  uint32_t from_size = 0;
  uint32_t to_size = 0;
  std::unique_ptr<char[]> from_text = LoadList(module, from_version, &from_size);
  std::unique_ptr<char[]> to_text = LoadList(module, to_version, &to_size);
  if (!from_text) return later_files != nullptr;
  if (!to_text && later_files == nullptr) return false;

  std::vector<ChecksumLine> targets;
  if (to_text) {
    ChecksumListReader to_list(to_text.get(), to_size);
    for (ChecksumLine line; to_list.Next(&line);) targets.push_back(line);
  }

  bool all_at_source = true;
  ChecksumListReader from_list(from_text.get(), from_size);
  for (ChecksumLine line; from_list.Next(&line);) {
    if (progress && !progress(std::string(line.name).c_str())) return false;
    if (later_files != nullptr) {
      std::string installed = InstalledPath("", line.name);
      bool later = false;
      for (const std::string& name : *later_files) later = later || SameNoCase(name, installed);
      if (later) continue;
    }
    uint32_t crc = 0;
    platform::RecordFileError(0);
    bool readable = ComputeFileCrc(InstalledPath(installation_directory, line.name).c_str(), &crc);
    if (!readable && platform::LastFileFault() == platform::FileFault::kInUse) {
      step->in_use = std::string(line.name);
      return false;
    }
    if (!readable) {
      // A missing optional file passes the verification without a word.
      if (line.optional) continue;
      return false;
    }
    if (line.Matches(crc)) continue;
    all_at_source = false;
    bool at_target = false;
    for (const ChecksumLine& target : targets) {
      if (SameNoCase(target.name, line.name) && target.Matches(crc)) at_target = true;
    }
    if (!at_target) {
      if (line.optional) continue;
      return false;
    }
    step->advanced.emplace_back(line.name);
  }
  step->all_at_source = all_at_source;
  return true;
}

}  // namespace

InterruptedStep FindInterruptedStep(const platform::ResourceModule& module,
                                    const char* installation_directory, int from_version,
                                    int to_version, const StepFileProgress& progress) {
  InterruptedStep step;
  if (!CompareStep(module, installation_directory, from_version, to_version, nullptr, progress,
                   &step)) {
    return InterruptedStep();
  }
  step.interrupted = !step.advanced.empty();
  return step;
}

bool CheckResumedStep(const platform::ResourceModule& module, const char* installation_directory,
                      int from_version, int to_version, const std::vector<std::string>& later_files,
                      InterruptedStep* step, const StepFileProgress& progress) {
  *step = InterruptedStep();
  if (!CompareStep(module, installation_directory, from_version, to_version, &later_files, progress,
                   step)) {
    const std::string in_use = step->in_use;
    *step = InterruptedStep();
    step->in_use = in_use;
    return false;
  }
  step->interrupted = !step->advanced.empty();
  return true;
}

void RemoveStepLeftovers(const char* installation_directory, const char* name) {
  const char* backslash = std::strchr(name, '\\');
  std::string target = StepTargetName(name);
  if (backslash == nullptr || target.empty()) return;
  std::string directory = installation_directory;
  platform::RemoveFile((directory + (backslash + 1)).c_str());
  platform::RemoveFile((directory + target + ".tmp").c_str());
}

std::string StepTargetName(const char* name) {
  const char* backslash = std::strchr(name, '\\');
  if (backslash == nullptr) return {};
  std::string rest(backslash + 1);
  size_t dot = rest.rfind('.');
  size_t separator = rest.rfind('\\');
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
    rest.resize(dot);
  return rest;
}

void MoveExecutableUpdateLast(AutoArray<RString>* names, const char* app_name) {
  for (int i = 0; i < names->Size(); ++i) {
    if (!SameNoCase(StepTargetName((*names)[i].Data()), app_name)) continue;
    RString executable = (*names)[i];
    names->Delete(i);
    names->Add(executable);
    return;
  }
}

}  // namespace corvane
