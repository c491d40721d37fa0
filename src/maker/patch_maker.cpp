#include "maker/patch_maker.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "maker/crc_cache.h"
#include "maker/make_progress.h"
#include "maker/patch_project.h"
#include "maker/update_jobs.h"
#include "pe/code_page_1252.h"
#include "pe/native_trailer.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_injector.h"
#include "pe/resource_writer.h"
#include "platform/file_system.h"
#include "platform/signing_key.h"
#include "run/distributions.h"
#include "run/payload_store.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

struct FileFacts {
  uint32_t crc = 0;
  bool read = false;
};

// The installed path of a relative name: the name less a distribution suffix.
std::string InstalledName(const std::string& relative, std::string* suffix = nullptr) {
  int base = 0;
  const char* edition = DistributionSuffix(relative.c_str(), &base);
  if (suffix) *suffix = edition ? edition : "";
  return relative.substr(0, static_cast<size_t>(base));
}

bool IsVariant(const std::string& relative) {
  std::string suffix;
  InstalledName(relative, &suffix);
  return !suffix.empty();
}

// One line of a checksum list: an installed file and the CRCs it may have.
struct ListEntry {
  std::string name;
  std::vector<uint32_t> values;
  bool plain = false;  // some source is not an edition variant
};
using ListEntries = std::map<std::string, ListEntry>;

// Checksum list text: one line per installed file; the variants of one file
// share a line with one value each (whichever edition is installed matches).
// A file that only some editions have is optional ("+"): an installation of
// another edition lacks it rightly.
std::string ChecksumList(const ListEntries& files) {
  std::string text;
  for (const auto& [key, entry] : files) {
    text += (entry.plain ? "" : "+") + entry.name;
    for (uint32_t value : entry.values) {
      char digits[16];
      std::snprintf(digits, sizeof digits, " %08x", value);
      text += digits;
    }
    text += "\r\n";
  }
  return text;
}

void AddToList(ListEntries* list, const std::string& relative, uint32_t crc, bool replace) {
  const std::string installed = InstalledName(relative);
  const bool variant = installed.size() != relative.size();
  ListEntry& entry = (*list)[UpperAscii(installed)];
  if (entry.name.empty() || replace) {
    entry.name = installed;
    entry.values.clear();
    entry.plain = false;
  }
  entry.plain = entry.plain || !variant;
  for (uint32_t v : entry.values) {
    if (v == crc) return;
  }
  entry.values.push_back(crc);
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

struct Payload {
  std::map<std::string, std::pair<std::string, std::vector<uint8_t>>> items;  // upper name -> (name, bytes)
  std::string error;

  bool Add(const std::string& name, const std::string& installed, std::vector<uint8_t> bytes) {
    if (!installed.empty()) {
      const std::string why = CheckPayloadLimits(name, installed);
      if (!why.empty()) {
        error = why;
        return false;
      }
    }
    auto [at, added] = items.emplace(UpperAscii(name), std::make_pair(name, std::move(bytes)));
    if (!added) {
      error = "two payload items have the name " + name;
      return false;
    }
    return true;
  }
};

}  // namespace

std::string CheckPayloadLimits(const std::string& name, const std::string& installed_relative) {
  if (name.size() > kMaxPayloadName) {
    return "payload name longer than " + std::to_string(kMaxPayloadName) + " characters: " + name;
  }
  // The step writes "<file>.upd" and "<file>.tmp" beside the installed file.
  if (kInstallDirectoryAllowance + installed_relative.size() + 4 > kMaxPayloadPath) {
    return "installed path too long for the patcher's path buffers (" + std::to_string(kMaxPayloadPath) +
           " bytes with an installation directory of up to " + std::to_string(kInstallDirectoryAllowance) +
           " characters): " + installed_relative;
  }
  return std::string();
}

void OutputPaths(const std::string& output, std::string* win32, std::string* native) {
  const bool exe = output.size() > 4 && UpperAscii(output.substr(output.size() - 4)) == ".EXE";
  *win32 = exe ? output : output + ".exe";
  *native = exe ? output.substr(0, output.size() - 4) : output;
}

bool MakePatch(const MakeOptions& options, MakeSummary* summary, std::string* error) {
  const auto start = std::chrono::steady_clock::now();
  PatchProject project;
  if (!LoadPatchProject(options.project, options.key, &project, error)) return false;
  if (!project.is_patch) {
    *error = project.manifest_path + ": \"isPatch\" is 0; make builds patches";
    return false;
  }
  if (options.win32_stub.empty() && options.native_stub.empty()) {
    *error = "no patcher to put the payload into: give --stub (win32) or --native";
    return false;
  }
  const int threads = options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());

  // Edition suffixes must name distributions of the manifest.
  std::set<std::string> editions;
  for (const std::string& d : project.distributions) editions.insert(UpperAscii(d));
  auto check_edition = [&](const ProjectFile& file) {
    std::string suffix;
    InstalledName(file.relative, &suffix);
    if (!suffix.empty() && !editions.count(UpperAscii(suffix))) {
      *error = file.path + ": no distribution \"" + suffix + "\" in class Distributions of " + project.manifest_path;
      return false;
    }
    return true;
  };

  // CRC of every file of every version (the checksum lists and the change test).
  std::vector<const ProjectFile*> all_files;
  for (const ReleasedVersion& v : project.versions) {
    for (const auto& [key, file] : v.files) all_files.push_back(&file);
  }
  for (const auto& [key, file] : project.whole_files) all_files.push_back(&file);
  for (const ProjectFile* file : all_files) {
    if (!check_edition(*file)) return false;
  }
  std::vector<FileFacts> facts(all_files.size());
  std::map<const ProjectFile*, size_t> fact_index;
  for (size_t i = 0; i < all_files.size(); ++i) fact_index[all_files[i]] = i;
  // CRCs of files unchanged since the last make come from the cache.
  CrcCache crc_cache((fs::path(project.root) / ".cache" / "crc.txt").string());
  std::vector<int64_t> times(all_files.size(), 0);
  std::vector<char> fresh(all_files.size(), 0);
  ParallelFor(all_files.size(), threads, [&](size_t i) {
    const std::string& path = all_files[i]->path;
    if (platform::FileModificationTime(path.c_str(), &times[i]) &&
        crc_cache.Find(path, all_files[i]->size, times[i], &facts[i].crc)) {
      facts[i].read = true;
      return;
    }
    facts[i].read = FileCrc32(path, &facts[i].crc);
    fresh[i] = 1;
  });
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (facts[i].read && fresh[i]) crc_cache.Store(all_files[i]->path, all_files[i]->size, times[i], facts[i].crc);
  }
  crc_cache.Save();
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (!facts[i].read) {
      *error = "cannot read " + all_files[i]->path;
      return false;
    }
  }
  auto crc_of = [&](const ProjectFile& f) { return facts[fact_index[&f]].crc; };

  // The jobs of every step.
  std::vector<UpdateJob> jobs;
  const fs::path cache = fs::path(project.root) / ".cache";
  summary->steps.clear();
  const ProjectTree& newest_files = project.versions.back().files;
  // Whether every version 0..last holds the path.
  auto in_every_version_up_to = [&](const std::string& key, size_t last) {
    for (size_t v = 0; v <= last; ++v) {
      if (!project.versions[v].files.count(key)) return false;
    }
    return true;
  };
  for (size_t s = 0; s + 1 < project.versions.size(); ++s) {
    const ReleasedVersion& from = project.versions[s];
    const ReleasedVersion& to = project.versions[s + 1];
    StepSummary step;
    step.from = from.text;
    step.to = to.text;
    for (const auto& [key, file] : to.files) {
      if (IsVariant(file.relative)) continue;
      if (!in_every_version_up_to(key, project.versions.size() - 1)) {
        // The patcher updates only files that are there: a file some older
        // version lacks travels whole (below), newest content, under "All\".
        if (!from.files.count(key)) ++step.added;
        continue;
      }
      const ProjectFile& old = from.files.at(key);
      if (old.size == file.size && crc_of(old) == crc_of(file) && SameContent(old.path, file.path)) {
        ++step.unchanged;
        continue;
      }
      UpdateJob job;
      job.from = from.text;
      job.to = to.text;
      job.relative = file.relative;
      job.new_file = &file;
      job.kind = UpdateJob::kChanged;
      job.old_file = &old;
      std::string cached = from.text + "-" + to.text + "/" + file.relative;
      for (char& c : cached) {
        if (c == '\\') c = '/';
      }
      job.update_path = (cache / (cached + ".upd")).string();
      jobs.push_back(std::move(job));
    }
    for (const auto& [key, file] : from.files) {
      if (IsVariant(file.relative) || to.files.count(key)) continue;
      if (newest_files.count(key)) continue;  // comes back whole under "All\"
      if (!in_every_version_up_to(key, s)) {
        // An installation of a version without the file would meet a
        // deletion it cannot apply; the file stays where it is.
        std::fprintf(options.messages,
                     "patchbuild: warning: %s: not in every version before %s, so the patch cannot remove it\n",
                     file.path.c_str(), to.text.c_str());
        continue;
      }
      UpdateJob job;
      job.kind = UpdateJob::kDeleted;
      job.from = from.text;
      job.to = to.text;
      job.relative = file.relative;
      job.old_file = &file;
      jobs.push_back(std::move(job));
    }
    summary->steps.push_back(step);
  }

  MakeProgress progress(options.messages, options.terminal);
  RunUpdateJobs(&jobs, threads, &progress);
  for (const UpdateJob& job : jobs) {
    if (!job.error.empty()) {
      *error = job.error;
      return false;
    }
  }

  Payload payload;
  for (UpdateJob& job : jobs) {
    StepSummary* step = nullptr;
    for (StepSummary& s : summary->steps) {
      if (s.from == job.from) step = &s;
    }
    if (job.kind == UpdateJob::kChanged) ++step->updated;
    if (job.kind == UpdateJob::kDeleted) ++step->deleted;
    if (job.kind != UpdateJob::kDeleted) {
      if (job.reused) { ++step->reused; ++summary->reused; } else { ++summary->made; }
    }
    step->payload_bytes += job.bytes.size();
    if (!payload.Add(UpdatePayloadName(job), job.relative, std::move(job.bytes))) {
      *error = payload.error;
      return false;
    }
  }

  // Whole files: the project's, and the newest tree's edition variants that
  // older versions did not already have.
  const ReleasedVersion& newest = project.versions.back();
  std::vector<std::pair<std::string, const ProjectFile*>> whole;
  for (const auto& [key, file] : project.whole_files) whole.emplace_back(file.relative, &file);
  for (const auto& [key, file] : newest.files) {
    if (!IsVariant(file.relative)) {
      if (!in_every_version_up_to(key, project.versions.size() - 1)) whole.emplace_back("All\\" + file.relative, &file);
      continue;
    }
    bool everywhere = true;
    for (const ReleasedVersion& v : project.versions) {
      auto old = v.files.find(key);
      everywhere = everywhere && old != v.files.end() && crc_of(old->second) == crc_of(file) &&
                   old->second.size == file.size;
    }
    if (!everywhere) whole.emplace_back("All\\" + file.relative, &file);
  }
  for (const auto& [name, file] : whole) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file->path, &bytes)) {
      *error = "cannot read " + file->path;
      return false;
    }
    const std::string installed = InstalledName(name.substr(name.find('\\') + 1));
    if (!payload.Add(name, installed, std::move(bytes))) {
      *error = payload.error;
      return false;
    }
    ++summary->whole_files;
  }

  // Checksum lists: every version's tree; the patch version's also holds
  // what "All\" and "Add\" put there.
  for (const ReleasedVersion& v : project.versions) {
    ListEntries list;
    for (const auto& [key, file] : v.files) AddToList(&list, file.relative, crc_of(file), false);
    if (&v == &newest) {
      for (const auto& [name, file] : whole) {
        const std::string upper = UpperAscii(name);
        if (upper.rfind("ALL\\", 0) != 0 && upper.rfind("ADD\\", 0) != 0) continue;
        const std::string relative = name.substr(4);
        AddToList(&list, relative, crc_of(*file), !IsVariant(relative));
      }
    }
    const std::string text = ChecksumList(list);
    if (!payload.Add("crc\\" + v.text + "\\crc.crc", "", std::vector<uint8_t>(text.begin(), text.end()))) {
      *error = payload.error;
      return false;
    }
  }

  // The manifest and its signature; the patcher carries the matching key.
  std::vector<uint8_t> signature, public_key;
  std::string message;
  if (!platform::SignBytes(project.key_pem, project.manifest.data(), project.manifest.size(), &signature, &message) ||
      !platform::PublicBlobOfKey(project.key_pem, &public_key, &message)) {
    *error = project.key_path + ": cannot sign with this key: " + message;
    return false;
  }
  payload.Add("version.cfg", "", project.manifest);
  payload.Add("version.cfg.sign", "", signature);

  std::vector<pe::ResourceItem> items;
  for (const auto& [upper, item] : payload.items) {
    items.push_back(pe::PayloadItem(pe::Cp1252ToUtf16(item.first), item.second.data(),
                                    static_cast<uint32_t>(item.second.size())));
    summary->payload_bytes += item.second.size();
  }
  summary->payload_items = static_cast<int>(items.size());
  pe::ResourceItem key;
  key.type = pe::ResourceName::Id(pe::kRtRcData);
  key.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  key.bytes = public_key.data();
  key.size = static_cast<uint32_t>(public_key.size());
  items.push_back(key);

  // Pack under temporary names; rename only when every output is complete.
  std::string win32_out, native_out;
  OutputPaths(options.output, &win32_out, &native_out);
  std::vector<std::pair<std::string, std::string>> renames;  // temp -> final
  auto cleanup = [&] {
    std::error_code ec;
    for (const auto& r : renames) fs::remove(r.first, ec);
  };
  if (!options.win32_stub.empty()) {
    std::vector<uint8_t> stub, image;
    pe::PeImage probe;
    if (!ReadWholeFile(options.win32_stub, &stub) || !probe.Parse(stub.data(), stub.size())) {
      *error = options.win32_stub + ": not a win32 patcher stub";
      return false;
    }
    if (!pe::AddResourceSection(stub.data(), stub.size(), items, &image, &message)) {
      *error = options.win32_stub + ": " + message;
      return false;
    }
    renames.emplace_back(win32_out + ".part", win32_out);
    if (!WriteFileBytes(renames.back().first, image)) {
      cleanup();
      *error = "cannot write " + renames.back().first;
      return false;
    }
  }
  if (!options.native_stub.empty()) {
    std::vector<uint8_t> program, image;
    if (!ReadWholeFile(options.native_stub, &program) || !pe::WriteResourceDll(items, &image, &message)) {
      cleanup();
      *error = options.native_stub + ": cannot read the native patcher" + (message.empty() ? "" : ": " + message);
      return false;
    }
    const std::vector<uint8_t> joined =
        pe::AppendNativePayload(program.data(), program.size(), image.data(), image.size());
    renames.emplace_back(native_out + ".part", native_out);
    if (!WriteFileBytes(renames.back().first, joined)) {
      cleanup();
      *error = "cannot write " + renames.back().first;
      return false;
    }
    std::error_code ec;
    fs::permissions(renames.back().first, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec, ec);
  }
  for (const auto& [temp, final_path] : renames) {
    std::error_code ec;
    fs::rename(temp, final_path, ec);
    if (ec) {
      cleanup();
      *error = "cannot rename " + temp + " to " + final_path + ": " + ec.message();
      return false;
    }
  }
  summary->win32_output = options.win32_stub.empty() ? "" : win32_out;
  summary->native_output = options.native_stub.empty() ? "" : native_out;
  summary->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return true;
}

void PrintMakeSummary(const MakeSummary& summary, std::FILE* out) {
  for (const StepSummary& s : summary.steps) {
    std::fprintf(out, "step %s -> %s: %d updated, %d added, %d deleted, %d unchanged (%d reused); payload %s\n",
                 s.from.c_str(), s.to.c_str(), s.updated, s.added, s.deleted, s.unchanged, s.reused,
                 MakeProgress::Bytes(static_cast<double>(s.payload_bytes)).c_str());
  }
  std::fprintf(out, "update files: %d made, %d reused; %d whole files; %d payload items, %s\n", summary.made,
               summary.reused, summary.whole_files, summary.payload_items,
               MakeProgress::Bytes(static_cast<double>(summary.payload_bytes)).c_str());
  if (!summary.win32_output.empty()) std::fprintf(out, "wrote %s\n", summary.win32_output.c_str());
  if (!summary.native_output.empty()) std::fprintf(out, "wrote %s\n", summary.native_output.c_str());
  std::fprintf(out, "time %.2f s\n", summary.seconds);
}

}  // namespace corvane::maker
