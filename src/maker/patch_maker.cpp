#include "maker/patch_maker.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "maker/content_hash.h"
#include "maker/digest_cache.h"
#include "maker/file_digest.h"
#include "maker/make_progress.h"
#include "maker/output_record.h"
#include "maker/patch_project.h"
#include "maker/payload_inventory_writer.h"
#include "maker/payload_items.h"
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
#include "foundation/whole_file.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

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

// Feeds a program the outputs are made from (none: empty) into the fingerprint.
bool FingerprintFile(const std::string& path, ContentHash* hash) {
  if (path.empty()) {
    hash->UpdateNumber(0);
    return true;
  }
  return HashFileIdentity(path, hash);
}

// Reads the payload in and writes the outputs: each under a temporary name,
// renamed only when every output is complete.
bool Pack(const MakeOptions& options, PayloadItems* payload, const std::vector<uint8_t>& public_key,
          const std::string& win32_out, const std::string& native_out, std::string* error) {
  if (!payload->Load()) {
    *error = payload->error();
    return false;
  }
  std::vector<pe::ResourceItem> items = payload->Resources();
  pe::ResourceItem key;
  key.type = pe::ResourceName::Id(pe::kRtRcData);
  key.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  key.bytes = public_key.data();
  key.size = static_cast<uint32_t>(public_key.size());
  items.push_back(key);

  std::string message;
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
  return true;
}

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

  // Digest of every file of every version (the checksum lists and the change test).
  std::vector<const ProjectFile*> all_files;
  for (const ReleasedVersion& v : project.versions) {
    for (const auto& [key, file] : v.files) all_files.push_back(&file);
  }
  for (const auto& [key, file] : project.whole_files) all_files.push_back(&file);
  for (const ProjectFile* file : all_files) {
    if (!check_edition(*file)) return false;
  }
  std::vector<FileDigest> digests(all_files.size());
  std::map<const ProjectFile*, size_t> digest_index;
  for (size_t i = 0; i < all_files.size(); ++i) digest_index[all_files[i]] = i;
  // Digests of files unchanged since the last make come from the cache.
  const fs::path cache = fs::path(project.root) / ".cache";
  DigestCache digest_cache((cache / "digests.txt").string());
  std::vector<int64_t> times(all_files.size(), 0);
  enum : char { kCached, kRead, kUnreadable };
  std::vector<char> state(all_files.size(), kCached);
  ParallelFor(all_files.size(), threads, [&](size_t i) {
    const std::string& path = all_files[i]->path;
    if (platform::FileModificationTime(path.c_str(), &times[i]) &&
        digest_cache.Find(path, all_files[i]->size, times[i], &digests[i])) {
      return;
    }
    // A file that is not the size it was listed with changed under the make.
    state[i] = DigestOfFile(path, &digests[i]) && digests[i].size == all_files[i]->size ? kRead : kUnreadable;
  });
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (state[i] == kRead) digest_cache.Store(all_files[i]->path, times[i], digests[i]);
  }
  digest_cache.Save();
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (state[i] == kUnreadable) {
      *error = "cannot read " + all_files[i]->path + " (or it changed during the make)";
      return false;
    }
  }
  auto digest_of = [&](const ProjectFile& f) { return digests[digest_index.at(&f)]; };
  auto crc_of = [&](const ProjectFile& f) { return digest_of(f).crc; };

  // The jobs of every step.
  std::vector<UpdateJob> jobs;
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
      if (digest_of(old) == digest_of(file)) {
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

  PayloadItems payload;
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
    const bool added = job.kind == UpdateJob::kDeleted
                           ? payload.AddBytes(UpdatePayloadName(job), job.relative, {2})  // the deletion update
                           : payload.AddFile(UpdatePayloadName(job), job.relative, job.update_path, job.update_size);
    if (!added) {
      *error = payload.error();
      return false;
    }
    step->payload_bytes += job.kind == UpdateJob::kDeleted ? 1 : job.update_size;
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
      everywhere = everywhere && old != v.files.end() && digest_of(old->second) == digest_of(file);
    }
    if (!everywhere) whole.emplace_back("All\\" + file.relative, &file);
  }
  for (const auto& [name, file] : whole) {
    const std::string installed = InstalledName(name.substr(name.find('\\') + 1));
    if (!payload.AddFile(name, installed, file->path, file->size)) {
      *error = payload.error();
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
    if (!payload.AddBytes("crc\\" + v.text + "\\crc.crc", "", std::vector<uint8_t>(text.begin(), text.end()))) {
      *error = payload.error();
      return false;
    }
  }

  // The manifest lists every item before it is signed, so the signature
  // covers the whole payload.
  std::vector<PayloadItemEntry> listed;
  if (!ListPayloadItems(&payload, &listed, error) || !PutPayloadItems(listed, &project.manifest, error)) return false;

  // The manifest and its signature; the patcher carries the matching key.
  std::vector<uint8_t> signature, public_key;
  std::string message;
  if (!platform::SignBytes(project.key_pem, project.manifest.data(), project.manifest.size(), &signature, &message) ||
      !platform::PublicBlobOfKey(project.key_pem, &public_key, &message)) {
    *error = project.key_path + ": cannot sign with this key: " + message;
    return false;
  }
  payload.AddBytes("version.cfg", "", project.manifest);
  payload.AddBytes("version.cfg.sign", "", signature);
  summary->payload_items = static_cast<int>(payload.count()) + 1;  // and the key
  summary->payload_bytes = payload.total_bytes() + public_key.size();

  std::string win32_out, native_out;
  OutputPaths(options.output, &win32_out, &native_out);
  std::vector<std::string> outputs;
  if (!options.win32_stub.empty()) outputs.push_back(win32_out);
  if (!options.native_stub.empty()) outputs.push_back(native_out);

  // Everything the outputs are made from. When the last make recorded the
  // same, and its outputs are still as it wrote them, there is nothing to do.
  ContentHash fingerprint;
  fingerprint.UpdateField("patchbuild make 1");
  for (const std::string& output : outputs) fingerprint.UpdateField(output);
  if (!FingerprintFile(options.win32_stub, &fingerprint) || !FingerprintFile(options.native_stub, &fingerprint)) {
    *error = "cannot read the patcher stub " + (options.win32_stub.empty() ? options.native_stub : options.win32_stub);
    return false;
  }
  fingerprint.UpdateNumber(public_key.size());
  fingerprint.Update(public_key.data(), public_key.size());
  if (!payload.Fingerprint(&fingerprint)) {
    *error = payload.error();
    return false;
  }
  const std::string record = (cache / "outputs.txt").string();
  summary->win32_output = options.win32_stub.empty() ? "" : win32_out;
  summary->native_output = options.native_stub.empty() ? "" : native_out;
  if (OutputsCurrent(record, fingerprint.Value(), outputs)) {
    summary->up_to_date = true;
  } else {
    ForgetOutputs(record);
    if (!Pack(options, &payload, public_key, win32_out, native_out, error)) return false;
    // Without a record the next make simply packs again.
    RecordOutputs(record, fingerprint.Value(), outputs);
  }
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
  const char* verb = summary.up_to_date ? "up to date:" : "wrote";
  if (!summary.win32_output.empty()) std::fprintf(out, "%s %s\n", verb, summary.win32_output.c_str());
  if (!summary.native_output.empty()) std::fprintf(out, "%s %s\n", verb, summary.native_output.c_str());
  std::fprintf(out, "time %.2f s\n", summary.seconds);
}

}  // namespace corvane::maker
