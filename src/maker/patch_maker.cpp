#include "maker/patch_maker.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "foundation/format_byte_size.h"
#include "foundation/whole_file.h"
#include "maker/cache_file.h"
#include "maker/content_hash.h"
#include "maker/digest_cache.h"
#include "maker/file_digest.h"
#include "maker/make_preflight.h"
#include "maker/make_progress.h"
#include "maker/output_record.h"
#include "maker/patch_project.h"
#include "maker/payload_inventory_writer.h"
#include "maker/payload_items.h"
#include "maker/update_jobs.h"
#include "maker/version_list.h"
#include "pe/native_trailer.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_injector.h"
#include "pe/resource_writer.h"
#include "platform/file_system.h"
#include "platform/signing_key.h"
#include "run/distributions.h"
#include "run/payload_names.h"
#include "run/payload_store.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

constexpr char kSizeLimit[] =
    "the update format holds files of up to 2,147,483,647 bytes (2 GiB - 1: its sizes are signed "
    "32-bit fields)";

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

// Feeds a program the outputs are made from (none: empty) into the fingerprint.
bool FingerprintFile(const std::string& path, ContentHash* hash) {
  FileDigest digest;
  if (!path.empty() && !DigestOfFile(path, &digest)) return false;
  hash->UpdateNumber(path.empty() ? 0 : 1);
  hash->UpdateNumber(digest.size);
  hash->UpdateNumber(digest.hash);
  return true;
}

// Reads the payload in and writes the outputs: each under a temporary name,
// renamed only when every output is complete.
Result Pack(const MakeOptions& options, PayloadItems* payload,
            const std::vector<uint8_t>& public_key, const std::string& win32_out,
            const std::string& native_out) {
  if (!payload->Load()) {
    return Result::Failure(ErrorCode::kInvalidInput, payload->error());
  }
  std::vector<pe::ResourceItem> items = payload->Resources();
  pe::ResourceItem key;
  key.type = pe::ResourceName::Id(pe::kRtRcData);
  key.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  key.bytes = public_key.data();
  key.size = static_cast<uint32_t>(public_key.size());
  items.push_back(key);

  std::vector<uint8_t> win32_image, native_image;
  if (!options.win32_stub.empty()) {
    std::vector<uint8_t> stub;
    pe::PeImage probe;
    if (!ReadWholeFile(options.win32_stub, &stub) || !probe.Parse(stub.data(), stub.size())) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             options.win32_stub + ": not a win32 patcher stub");
    }
    if (Result added = pe::AddResourceSection(stub.data(), stub.size(), items, &win32_image);
        !added.ok()) {
      return added.Within(options.win32_stub + ": ");
    }
  }
  if (!options.native_stub.empty()) {
    std::vector<uint8_t> program, image;
    if (!ReadWholeFile(options.native_stub, &program)) {
      return Result::Failure(ErrorCode::kReadFailed,
                             options.native_stub + ": cannot read the native patcher");
    }
    if (Result written = pe::WriteResourceDll(items, &image); !written.ok()) {
      return written.Within(options.native_stub + ": cannot read the native patcher: ");
    }
    native_image =
        pe::AppendNativePayload(program.data(), program.size(), image.data(), image.size());
  }
  // Each output is renamed into place when it is whole; one output may be
  // new and the other old only while the make is stopped between the two,
  // and the record of outputs (written last) then makes the next make pack.
  for (const auto& [image, out, executable] : {std::tuple(&win32_image, &win32_out, false),
                                               std::tuple(&native_image, &native_out, true)}) {
    if (image->empty()) continue;
    if (Result written = WriteFileWhole(*out, image->data(), image->size(), executable);
        !written.ok()) {
      return written;
    }
  }
  return Result();
}

}  // namespace

std::string CheckPayloadLimits(const std::string& name, const std::string& installed_relative) {
  if (name.size() > kMaxPayloadName) {
    return "payload name longer than " + std::to_string(kMaxPayloadName) + " characters: " + name;
  }
  // The step writes "<file>.upd" and "<file>.tmp" beside the installed file.
  if (kInstallDirectoryAllowance + installed_relative.size() + 4 > kMaxPayloadPath) {
    return "installed path too long for the patcher's path buffers (" +
           std::to_string(kMaxPayloadPath) + " bytes with an installation directory of up to " +
           std::to_string(kInstallDirectoryAllowance) + " characters): " + installed_relative;
  }
  return std::string();
}

void OutputPaths(const std::string& output, std::string* win32, std::string* native) {
  const bool exe = output.size() > 4 && UpperAscii(output.substr(output.size() - 4)) == ".EXE";
  *win32 = exe ? output : output + ".exe";
  *native = exe ? output.substr(0, output.size() - 4) : output;
}

Result MakePatch(const MakeOptions& options, MakeSummary* summary) {
  const auto start = std::chrono::steady_clock::now();
  // The arguments first: a mistake there costs no work.
  if (options.win32_stub.empty() && options.native_stub.empty()) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           "no patcher to put the payload into: give --stub (win32) or --native");
  }
  std::string win32_out, native_out;
  OutputPaths(options.output, &win32_out, &native_out);
  if (!options.win32_stub.empty()) {
    if (Result stub = CheckStub(options.win32_stub, true); !stub.ok()) return stub;
  }
  if (!options.native_stub.empty()) {
    if (Result stub = CheckStub(options.native_stub, false); !stub.ok()) return stub;
  }
  if (Result folder = PrepareOutputFolder(options.win32_stub.empty() ? native_out : win32_out);
      !folder.ok()) {
    return folder;
  }
  PatchProject project;
  if (Result failed = LoadPatchProject(options.project, options.key, &project); !failed.ok())
    return failed;
  if (!project.is_patch) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           project.manifest_path + ": \"isPatch\" is 0; make builds patches");
  }
  std::vector<uint8_t> public_key;
  if (Result key = platform::PublicBlobOfKey(project.key_pem, &public_key); !key.ok()) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           project.key_path + ": cannot sign with this key: " + key.message());
  }
  if (IsRepositoryTestKey(public_key)) {
    std::fprintf(options.messages,
                 "patchbuild: WARNING: %s is the repository's TEST key (tests/keys), whose private "
                 "half is public:\n"
                 "patchbuild: WARNING: anyone can sign a payload this patcher accepts. Make your "
                 "own key with\n"
                 "patchbuild: WARNING: \"patchbuild keygen NAME\" before you ship a patch.\n",
                 project.key_path.c_str());
  }
  if (Result failed = CheckGameExecutables(project, &FileVersionOfFile); !failed.ok())
    return failed;
  const int threads =
      options.jobs > 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());

  // Edition suffixes must name distributions of the manifest.
  std::set<std::string> editions;
  for (const std::string& d : project.distributions) editions.insert(UpperAscii(d));
  auto check_edition = [&](const ProjectFile& file) {
    std::string suffix;
    InstalledName(file.relative, &suffix);
    if (!suffix.empty() && !editions.count(UpperAscii(suffix))) {
      return Result::Failure(ErrorCode::kInvalidInput, file.path + ": no distribution \"" + suffix +
                                                           "\" in class Distributions of " +
                                                           project.manifest_path);
    }
    return Result();
  };
  // Every name against the patcher's limits, with the longest prefix it may
  // get in the payload ("<from>-<to>\...upd" or "All\..."), before any work.
  const std::string longest_step =
      project.versions.size() > 1
          ? project.versions[0].text + "-" + project.versions.back().text + "\\"
          : "All\\";
  std::vector<const ProjectFile*> all_files;
  for (const ReleasedVersion& v : project.versions) {
    for (const auto& [key, file] : v.files) {
      all_files.push_back(&file);
      const std::string name =
          (longest_step.size() > 4 ? longest_step : std::string("All\\")) + file.relative + ".upd";
      std::string why = CheckPayloadLimits(name, InstalledName(file.relative));
      if (why.empty() && CheckPayloadName(name.c_str()) != PayloadNameFault::kNone) {
        why = DescribePayloadNameFault(CheckPayloadName(name.c_str()));
      }
      if (!why.empty()) {
        return Result::Failure(ErrorCode::kInvalidInput, file.path + ": " + why);
      }
    }
  }
  for (const auto& [key, file] : project.whole_files) {
    all_files.push_back(&file);
    std::string why = CheckPayloadLimits(
        file.relative, InstalledName(file.relative.substr(file.relative.find('\\') + 1)));
    if (!why.empty()) {
      return Result::Failure(ErrorCode::kInvalidInput, file.path + ": " + why);
    }
  }
  for (const ProjectFile* file : all_files) {
    if (Result edition = check_edition(*file); !edition.ok()) return edition;
  }
  // A file of 2 GiB or more whose size changes between two versions needs
  // an update the format cannot hold: told before anything is read. (One of
  // the same size is told once its digests show that it changed.)
  for (size_t s = 0; s + 1 < project.versions.size(); ++s) {
    for (const auto& [key, file] : project.versions[s + 1].files) {
      const auto old = project.versions[s].files.find(key);
      if (old == project.versions[s].files.end() || old->second.size == file.size) continue;
      if (old->second.size > kMaxUpdatedFileSize || file.size > kMaxUpdatedFileSize) {
        return Result::Failure(ErrorCode::kTooLarge, file.path + ": changes between " +
                                                         project.versions[s].text + " and " +
                                                         project.versions[s + 1].text +
                                                         " and is 2 GiB or larger; " + kSizeLimit);
      }
    }
  }

  // Digest of every file of every version (the checksum lists and the change test).
  std::vector<FileDigest> digests(all_files.size());
  std::map<const ProjectFile*, size_t> digest_index;
  for (size_t i = 0; i < all_files.size(); ++i) digest_index[all_files[i]] = i;
  // Digests of files unchanged since the last make come from the cache.
  const fs::path cache = fs::path(project.root) / ".cache";
  const fs::path scratch = cache / "scratch";
  std::error_code ignored;
  fs::remove_all(scratch, ignored);  // what a stopped make left
  DigestCache digest_cache((cache / "digests.txt").string());
  std::vector<int64_t> times(all_files.size(), 0);
  enum : char { kCached, kRead, kUnreadable };
  std::vector<char> state(all_files.size(), kCached);
  ParallelFor(all_files.size(), threads, [&](size_t i) {
    const std::string& path = all_files[i]->path;
    if (DigestCache::TimeOf(path, &times[i]) && !options.force &&
        digest_cache.Find(path, all_files[i]->size, times[i], &digests[i])) {
      return;
    }
    // A file that is not the size it was listed with changed under the make.
    state[i] = DigestOfFile(path, &digests[i]) && digests[i].size == all_files[i]->size
                   ? kRead
                   : kUnreadable;
  });
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (state[i] == kRead) digest_cache.Store(all_files[i]->path, times[i], digests[i]);
  }
  digest_cache.Save();
  for (size_t i = 0; i < all_files.size(); ++i) {
    if (state[i] == kUnreadable) {
      return Result::Failure(ErrorCode::kReadFailed, "cannot read " + all_files[i]->path +
                                                         " (or it changed during the make)");
    }
  }
  auto digest_of = [&](const ProjectFile& f) { return digests[digest_index.at(&f)]; };

  // The jobs of every step.
  std::vector<UpdateJob> jobs;
  summary->steps.clear();
  summary->whole.clear();
  summary->version = project.versions.back().text;
  const ProjectTree& newest_files = project.versions.back().files;
  // Whether every version 0..last holds the path.
  auto in_every_version_up_to = [&](const std::string& key, size_t last) {
    for (size_t v = 0; v <= last; ++v) {
      if (!project.versions[v].files.count(key)) return false;
    }
    return true;
  };
  // Files that travel whole rather than as updates: some version lacks
  // them, or some step turns them from or into an empty file (an update
  // cannot map an empty old file, and an empty file is cheaper whole).
  std::set<std::string> whole_keys;
  for (const auto& [key, file] : newest_files) {
    if (IsVariant(file.relative)) continue;
    if (!in_every_version_up_to(key, project.versions.size() - 1)) {
      whole_keys.insert(key);
      continue;
    }
    for (size_t s = 0; s + 1 < project.versions.size(); ++s) {
      const FileDigest a = digest_of(project.versions[s].files.at(key));
      const FileDigest b = digest_of(project.versions[s + 1].files.at(key));
      if (!(a == b) && (a.size == 0 || b.size == 0)) whole_keys.insert(key);
    }
  }
  for (size_t s = 0; s + 1 < project.versions.size(); ++s) {
    const ReleasedVersion& from = project.versions[s];
    const ReleasedVersion& to = project.versions[s + 1];
    StepSummary step;
    step.from = from.text;
    step.to = to.text;
    for (const auto& [key, file] : to.files) {
      if (IsVariant(file.relative)) continue;
      if (whole_keys.count(key)) {
        // Newest content, under "All\" (below).
        if (!from.files.count(key) || !(digest_of(from.files.at(key)) == digest_of(file)))
          ++step.added;
        continue;
      }
      const ProjectFile& old = from.files.at(key);
      if (digest_of(old) == digest_of(file)) {
        ++step.unchanged;
        continue;
      }
      if (old.size > kMaxUpdatedFileSize || file.size > kMaxUpdatedFileSize) {
        return Result::Failure(ErrorCode::kTooLarge,
                               (old.size > kMaxUpdatedFileSize ? old.path : file.path) +
                                   ": changes between " + from.text + " and " + to.text +
                                   " and is 2 GiB or larger; " + kSizeLimit);
      }
      UpdateJob job;
      job.from = from.text;
      job.to = to.text;
      job.relative = file.relative;
      job.new_file = &file;
      job.kind = UpdateJob::kChanged;
      job.old_file = &old;
      job.old_digest = digest_of(old);
      job.new_digest = digest_of(file);
      job.update_path = UpdateCachePath(cache.string(), &job.old_digest, job.new_digest);
      jobs.push_back(std::move(job));
    }
    for (const auto& [key, file] : from.files) {
      if (IsVariant(file.relative) || to.files.count(key)) continue;
      if (newest_files.count(key)) continue;  // comes back whole under "All\"
      if (!in_every_version_up_to(key, s)) {
        // An installation of a version without the file would meet a
        // deletion it cannot apply; the file stays where it is.
        std::fprintf(options.messages,
                     "patchbuild: warning: %s: not in every version before %s, so the patch cannot "
                     "remove it\n",
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

  // Whole files: the project's, the newest tree's files above, and its
  // edition variants that older versions did not already have. Too large
  // for a resource is refused before the updates are made.
  const ReleasedVersion& newest = project.versions.back();
  std::vector<std::pair<std::string, const ProjectFile*>> whole;
  for (const auto& [key, file] : project.whole_files) whole.emplace_back(file.relative, &file);
  for (const auto& [key, file] : newest.files) {
    if (!IsVariant(file.relative)) {
      if (whole_keys.count(key)) whole.emplace_back("All\\" + file.relative, &file);
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
    if (file->size > kMaxUpdatedFileSize) {
      return Result::Failure(ErrorCode::kTooLarge,
                             file->path +
                                 ": travels whole and is 2 GiB or larger; a payload item holds up "
                                 "to 2,147,483,647 bytes");
    }
  }

  MakeProgress progress(options.show_progress ? options.messages : nullptr, options.terminal);
  RunUpdateJobs(&jobs, threads, scratch.string(), options.force, &progress,
                options.exact_updates ? UpdateWriter::kExact : UpdateWriter::kCompact);
  fs::remove_all(scratch, ignored);
  if (StopRequested()) {
    return Result::Failure(
        ErrorCode::kStopped,
        "stopped; every file written so far is whole, the next make goes on from there");
  }
  for (const UpdateJob& job : jobs) {
    if (!job.error.empty()) {
      return Result::Failure(ErrorCode::kWriteFailed, job.error);
    }
  }

  PayloadItems payload;
  for (UpdateJob& job : jobs) {
    StepSummary* step = nullptr;
    for (StepSummary& s : summary->steps) {
      if (s.from == job.from) step = &s;
    }
    if (job.kind == UpdateJob::kChanged) ++step->updated;
    if (CarriesNewFileWhole(job)) ++step->whole;
    if (job.kind == UpdateJob::kDeleted) ++step->deleted;
    if (job.kind != UpdateJob::kDeleted) {
      if (job.reused) {
        ++step->reused;
        ++summary->reused;
      } else {
        ++summary->made;
      }
    }
    const bool added =
        job.kind == UpdateJob::kDeleted
            ? payload.AddBytes(UpdatePayloadName(job), job.relative, {2})  // the deletion update
            : payload.AddFile(UpdatePayloadName(job), job.relative, job.update_path,
                              job.update_digest);
    if (!added) {
      return Result::Failure(ErrorCode::kInvalidInput, payload.error());
    }
    StepUpdate update;
    update.relative = job.relative;
    update.deletion = job.kind == UpdateJob::kDeleted;
    update.whole = CarriesNewFileWhole(job);
    update.reused = job.reused;
    update.old_size = job.old_digest.size;
    update.new_size = update.deletion ? 0 : job.new_digest.size;
    update.payload_bytes = update.deletion ? 1 : job.update_size;
    step->payload_bytes += update.payload_bytes;
    step->updates.push_back(std::move(update));
  }

  for (const auto& [name, file] : whole) {
    const std::string installed = InstalledName(name.substr(name.find('\\') + 1));
    if (!payload.AddFile(name, installed, file->path, digest_of(*file))) {
      return Result::Failure(ErrorCode::kInvalidInput, payload.error());
    }
    ++summary->whole_files;
    summary->whole.push_back({name, file->size});
  }

  // Checksum lists: every version's tree; the patch version's also holds
  // what "All\" and "Add\" put there, under the name the patcher gives the
  // file it writes (the payload's stored, upper-cased name).
  std::set<std::string> warned;
  for (const ReleasedVersion& v : project.versions) {
    VersionChecksumList list;
    for (const auto& [key, file] : v.files) list.Add(file.relative, digest_of(file));
    if (&v == &newest) {
      for (const auto& [name, file] : whole) {
        const std::string upper = UpperAscii(name);
        if (upper.rfind("ALL\\", 0) != 0 && upper.rfind("ADD\\", 0) != 0) continue;
        const std::string relative = FoldName(name.substr(4));
        list.Add(relative, digest_of(*file), !IsVariant(relative));
      }
    }
    const std::string text = list.Text(options.messages, &warned);
    if (!payload.AddBytes("crc\\" + v.text + "\\crc.crc", "",
                          std::vector<uint8_t>(text.begin(), text.end()))) {
      return Result::Failure(ErrorCode::kInvalidInput, payload.error());
    }
  }

  // The manifest lists every item before it is signed, so the signature
  // covers the whole payload.
  std::vector<PayloadItemEntry> listed;
  if (Result items = ListPayloadItems(&payload, &listed); !items.ok()) return items;
  if (Result put = PutPayloadItems(listed, &project.manifest); !put.ok()) return put;

  // The manifest and its signature; the patcher carries the matching key.
  std::vector<uint8_t> signature;
  if (Result signed_manifest = platform::SignBytes(project.key_pem, project.manifest.data(),
                                                   project.manifest.size(), &signature);
      !signed_manifest.ok()) {
    return Result::Failure(
        ErrorCode::kInvalidInput,
        project.key_path + ": cannot sign with this key: " + signed_manifest.message());
  }
  payload.AddBytes("version.cfg", "", project.manifest);
  payload.AddBytes("version.cfg.sign", "", signature);
  summary->payload_items = static_cast<int>(payload.count()) + 1;  // and the key
  summary->payload_bytes = payload.total_bytes() + public_key.size();

  std::vector<std::string> outputs;
  if (!options.win32_stub.empty()) outputs.push_back(win32_out);
  if (!options.native_stub.empty()) outputs.push_back(native_out);

  // Everything the outputs are made from. When the last make recorded the
  // same, and its outputs are still as it wrote them, there is nothing to do.
  ContentHash fingerprint;
  fingerprint.UpdateField("patchbuild make 2");
  for (const std::string& output : outputs) fingerprint.UpdateField(output);
  if (!FingerprintFile(options.win32_stub, &fingerprint) ||
      !FingerprintFile(options.native_stub, &fingerprint)) {
    return Result::Failure(
        ErrorCode::kReadFailed,
        "cannot read the patcher stub " +
            (options.win32_stub.empty() ? options.native_stub : options.win32_stub));
  }
  fingerprint.UpdateNumber(public_key.size());
  fingerprint.Update(public_key.data(), public_key.size());
  payload.Fingerprint(&fingerprint);
  const std::string record = (cache / "outputs.txt").string();
  summary->win32_output = options.win32_stub.empty() ? "" : win32_out;
  summary->native_output = options.native_stub.empty() ? "" : native_out;
  if (!options.force && OutputsCurrent(record, fingerprint.Value(), outputs)) {
    summary->up_to_date = true;
  } else {
    ForgetOutputs(record);
    if (Result packed = Pack(options, &payload, public_key, win32_out, native_out); !packed.ok()) {
      if (StopRequested()) {
        return Result::Failure(ErrorCode::kStopped, "stopped; no output was half written");
      }
      return packed;
    }
    // Without a record the next make simply packs again.
    RecordOutputs(record, fingerprint.Value(), outputs);
  }
  summary->seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return Result();
}

void PrintMadeFiles(const MakeSummary& summary, std::FILE* out) {
  for (const StepSummary& step : summary.steps) {
    for (const StepUpdate& u : step.updates) {
      const std::string size = FormatByteSize(u.payload_bytes).Data();
      if (u.deletion) {
        std::fprintf(out, "%s-%s %s: deletion\n", step.from.c_str(), step.to.c_str(),
                     u.relative.c_str());
        continue;
      }
      std::fprintf(out, "%s-%s %s: %s, %llu -> %llu bytes, update %s%s\n", step.from.c_str(),
                   step.to.c_str(), u.relative.c_str(), u.whole ? "new file whole" : "difference",
                   static_cast<unsigned long long>(u.old_size),
                   static_cast<unsigned long long>(u.new_size), size.c_str(),
                   u.reused ? " (cached)" : "");
    }
  }
  for (const WholeFileSummary& file : summary.whole) {
    std::fprintf(out, "%s: whole file, %s\n", file.name.c_str(), FormatByteSize(file.size).Data());
  }
}

void PrintMakeSummary(const MakeSummary& summary, std::FILE* out) {
  for (const StepSummary& s : summary.steps) {
    std::fprintf(
        out,
        "step %s -> %s: %d updated, %d added, %d deleted, %d unchanged (%d reused); payload %s\n",
        s.from.c_str(), s.to.c_str(), s.updated, s.added, s.deleted, s.unchanged, s.reused,
        FormatByteSize(s.payload_bytes).Data());
    if (s.whole > 0) {
      std::fprintf(
          out,
          "  %d of the updates carry their new file whole: a difference would have been larger\n",
          s.whole);
    }
  }
  std::fprintf(out, "update files: %d made, %d reused; %d whole files; %d payload items, %s\n",
               summary.made, summary.reused, summary.whole_files, summary.payload_items,
               FormatByteSize(summary.payload_bytes).Data());
  const char* verb = summary.up_to_date ? "up to date:" : "wrote";
  if (!summary.win32_output.empty())
    std::fprintf(out, "%s %s\n", verb, summary.win32_output.c_str());
  if (!summary.native_output.empty())
    std::fprintf(out, "%s %s\n", verb, summary.native_output.c_str());
  std::fprintf(out, "time %.2f s\n", summary.seconds);
}

}  // namespace corvane::maker
