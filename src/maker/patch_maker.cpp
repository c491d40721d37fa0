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

namespace {

// One make, as a sequence of phases that each leave what the next needs in
// the members; the first that fails ends the make with its result.
class PatchMake {
 public:
  PatchMake(const MakeOptions& options, MakeSummary* summary)
      : options_(options),
        summary_(summary),
        threads_(options.jobs > 0
                     ? options.jobs
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))) {}

  Result Run() {
    const auto start = std::chrono::steady_clock::now();
    for (Result (PatchMake::*phase)() :
         {&PatchMake::CheckArguments, &PatchMake::LoadProject, &PatchMake::CheckNames,
          &PatchMake::DigestFiles, &PatchMake::PlanUpdates, &PatchMake::PlanWholeFiles,
          &PatchMake::MakeUpdates, &PatchMake::AddUpdates, &PatchMake::AddWholeFiles,
          &PatchMake::AddChecksumLists, &PatchMake::SignManifest, &PatchMake::WriteOutputs}) {
      if (Result failed = (this->*phase)(); !failed.ok()) return failed;
    }
    summary_->seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return Result();
  }

 private:
  const FileDigest& DigestOf(const ProjectFile& file) const {
    return digests_[digest_index_.at(&file)];
  }
  // Whether every version 0..last holds the path.
  bool InEveryVersionUpTo(const std::string& key, size_t last) const {
    for (size_t v = 0; v <= last; ++v) {
      if (!project_.versions[v].files.count(key)) return false;
    }
    return true;
  }

  Result CheckArguments();
  Result LoadProject();
  Result CheckNames();
  Result DigestFiles();
  Result PlanUpdates();
  Result PlanWholeFiles();
  Result MakeUpdates();
  Result AddUpdates();
  Result AddWholeFiles();
  Result AddChecksumLists();
  Result SignManifest();
  Result WriteOutputs();

  const MakeOptions& options_;
  MakeSummary* summary_;
  std::string win32_out_, native_out_;
  PatchProject project_;
  std::vector<uint8_t> public_key_;
  const int threads_;
  // Every file of every version and the project's whole files, with their
  // digests (the checksum lists and the change test).
  std::vector<const ProjectFile*> all_files_;
  std::vector<FileDigest> digests_;
  std::map<const ProjectFile*, size_t> digest_index_;
  fs::path cache_, scratch_;
  // Keys of the newest files that travel whole rather than as updates.
  std::set<std::string> whole_keys_;
  std::vector<UpdateJob> jobs_;
  // Payload name and file of everything that travels whole.
  std::vector<std::pair<std::string, const ProjectFile*>> whole_;
  PayloadItems payload_;
};

// The arguments first: a mistake there costs no work.
Result PatchMake::CheckArguments() {
  if (options_.win32_stub.empty() && options_.native_stub.empty()) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           "no patcher to put the payload into: give --stub (win32) or --native");
  }
  OutputPaths(options_.output, &win32_out_, &native_out_);
  if (!options_.win32_stub.empty()) {
    if (Result stub = CheckStub(options_.win32_stub, true); !stub.ok()) return stub;
  }
  if (!options_.native_stub.empty()) {
    if (Result stub = CheckStub(options_.native_stub, false); !stub.ok()) return stub;
  }
  return PrepareOutputFolder(options_.win32_stub.empty() ? native_out_ : win32_out_);
}

// The project, its key and its game executables.
Result PatchMake::LoadProject() {
  if (Result failed = LoadPatchProject(options_.project, options_.key, &project_); !failed.ok())
    return failed;
  if (!project_.is_patch) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           project_.manifest_path + ": \"isPatch\" is 0; make builds patches");
  }
  if (Result key = platform::PublicBlobOfKey(project_.key_pem, &public_key_); !key.ok()) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           project_.key_path + ": cannot sign with this key: " + key.message());
  }
  if (IsRepositoryTestKey(public_key_)) {
    std::fprintf(options_.messages,
                 "patchbuild: WARNING: %s is the repository's TEST key (tests/keys), whose private "
                 "half is public:\n"
                 "patchbuild: WARNING: anyone can sign a payload this patcher accepts. Make your "
                 "own key with\n"
                 "patchbuild: WARNING: \"patchbuild keygen NAME\" before you ship a patch.\n",
                 project_.key_path.c_str());
  }
  if (Result failed = CheckGameExecutables(project_, &FileVersionOfFile); !failed.ok())
    return failed;
  return Result();
}

// Every name against the patcher's limits, with the longest prefix it may get
// in the payload ("<from>-<to>\...upd" or "All\..."), edition suffixes against
// the manifest's distributions, and the 2 GiB limit: all before any work.
Result PatchMake::CheckNames() {
  std::set<std::string> editions;
  for (const std::string& d : project_.distributions) editions.insert(UpperAscii(d));
  const std::string longest_step =
      project_.versions.size() > 1
          ? project_.versions[0].text + "-" + project_.versions.back().text + "\\"
          : "All\\";
  for (const ReleasedVersion& v : project_.versions) {
    for (const auto& [key, file] : v.files) {
      all_files_.push_back(&file);
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
  for (const auto& [key, file] : project_.whole_files) {
    all_files_.push_back(&file);
    std::string why = CheckPayloadLimits(
        file.relative, InstalledName(file.relative.substr(file.relative.find('\\') + 1)));
    if (!why.empty()) {
      return Result::Failure(ErrorCode::kInvalidInput, file.path + ": " + why);
    }
  }
  for (const ProjectFile* file : all_files_) {
    std::string suffix;
    InstalledName(file->relative, &suffix);
    if (!suffix.empty() && !editions.count(UpperAscii(suffix))) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             file->path + ": no distribution \"" + suffix +
                                 "\" in class Distributions of " + project_.manifest_path);
    }
  }
  // A file of 2 GiB or more whose size changes between two versions needs
  // an update the format cannot hold: told before anything is read. (One of
  // the same size is told once its digests show that it changed.)
  for (size_t s = 0; s + 1 < project_.versions.size(); ++s) {
    for (const auto& [key, file] : project_.versions[s + 1].files) {
      const auto old = project_.versions[s].files.find(key);
      if (old == project_.versions[s].files.end() || old->second.size == file.size) continue;
      if (old->second.size > kMaxUpdatedFileSize || file.size > kMaxUpdatedFileSize) {
        return Result::Failure(ErrorCode::kTooLarge, file.path + ": changes between " +
                                                         project_.versions[s].text + " and " +
                                                         project_.versions[s + 1].text +
                                                         " and is 2 GiB or larger; " + kSizeLimit);
      }
    }
  }
  return Result();
}

// The digest of every file; those of files unchanged since the last make
// come from the cache.
Result PatchMake::DigestFiles() {
  digests_.resize(all_files_.size());
  for (size_t i = 0; i < all_files_.size(); ++i) digest_index_[all_files_[i]] = i;
  cache_ = fs::path(project_.root) / ".cache";
  scratch_ = cache_ / "scratch";
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);  // what a stopped make left
  DigestCache digest_cache((cache_ / "digests.txt").string());
  std::vector<int64_t> times(all_files_.size(), 0);
  enum : char { kCached, kRead, kUnreadable };
  std::vector<char> state(all_files_.size(), kCached);
  ParallelFor(all_files_.size(), threads_, [&](size_t i) {
    const std::string& path = all_files_[i]->path;
    if (DigestCache::TimeOf(path, &times[i]) && !options_.force &&
        digest_cache.Find(path, all_files_[i]->size, times[i], &digests_[i])) {
      return;
    }
    // A file that is not the size it was listed with changed under the make.
    state[i] = DigestOfFile(path, &digests_[i]) && digests_[i].size == all_files_[i]->size
                   ? kRead
                   : kUnreadable;
  });
  for (size_t i = 0; i < all_files_.size(); ++i) {
    if (state[i] == kRead) digest_cache.Store(all_files_[i]->path, times[i], digests_[i]);
  }
  digest_cache.Save();
  for (size_t i = 0; i < all_files_.size(); ++i) {
    if (state[i] == kUnreadable) {
      return Result::Failure(ErrorCode::kReadFailed, "cannot read " + all_files_[i]->path +
                                                         " (or it changed during the make)");
    }
  }
  return Result();
}

// The update jobs of every step, and the steps' counts of files added and
// unchanged.
Result PatchMake::PlanUpdates() {
  summary_->steps.clear();
  summary_->whole.clear();
  summary_->version = project_.versions.back().text;
  const ProjectTree& newest_files = project_.versions.back().files;
  // Files that travel whole rather than as updates: some version lacks
  // them, or some step turns them from or into an empty file (an update
  // cannot map an empty old file, and an empty file is cheaper whole).
  for (const auto& [key, file] : newest_files) {
    if (IsVariant(file.relative)) continue;
    if (!InEveryVersionUpTo(key, project_.versions.size() - 1)) {
      whole_keys_.insert(key);
      continue;
    }
    for (size_t s = 0; s + 1 < project_.versions.size(); ++s) {
      const FileDigest& a = DigestOf(project_.versions[s].files.at(key));
      const FileDigest& b = DigestOf(project_.versions[s + 1].files.at(key));
      if (!(a == b) && (a.size == 0 || b.size == 0)) whole_keys_.insert(key);
    }
  }
  for (size_t s = 0; s + 1 < project_.versions.size(); ++s) {
    const ReleasedVersion& from = project_.versions[s];
    const ReleasedVersion& to = project_.versions[s + 1];
    StepSummary step;
    step.from = from.text;
    step.to = to.text;
    for (const auto& [key, file] : to.files) {
      if (IsVariant(file.relative)) continue;
      if (whole_keys_.count(key)) {
        // Newest content, under "All\" (PlanWholeFiles).
        if (!from.files.count(key) || !(DigestOf(from.files.at(key)) == DigestOf(file)))
          ++step.added;
        continue;
      }
      const ProjectFile& old = from.files.at(key);
      if (DigestOf(old) == DigestOf(file)) {
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
      job.old_digest = DigestOf(old);
      job.new_digest = DigestOf(file);
      job.update_path = UpdateCachePath(cache_.string(), &job.old_digest, job.new_digest);
      jobs_.push_back(std::move(job));
    }
    for (const auto& [key, file] : from.files) {
      if (IsVariant(file.relative) || to.files.count(key)) continue;
      if (newest_files.count(key)) continue;  // comes back whole under "All\"
      if (!InEveryVersionUpTo(key, s)) {
        // An installation of a version without the file would meet a
        // deletion it cannot apply; the file stays where it is.
        std::fprintf(options_.messages,
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
      jobs_.push_back(std::move(job));
    }
    summary_->steps.push_back(step);
  }
  return Result();
}

// Whole files: the project's, the newest tree's files above, and its
// edition variants that older versions did not already have. Too large for
// a resource is refused before the updates are made.
Result PatchMake::PlanWholeFiles() {
  for (const auto& [key, file] : project_.whole_files) whole_.emplace_back(file.relative, &file);
  for (const auto& [key, file] : project_.versions.back().files) {
    if (!IsVariant(file.relative)) {
      if (whole_keys_.count(key)) whole_.emplace_back("All\\" + file.relative, &file);
      continue;
    }
    bool everywhere = true;
    for (const ReleasedVersion& v : project_.versions) {
      auto old = v.files.find(key);
      everywhere = everywhere && old != v.files.end() && DigestOf(old->second) == DigestOf(file);
    }
    if (!everywhere) whole_.emplace_back("All\\" + file.relative, &file);
  }
  for (const auto& [name, file] : whole_) {
    if (file->size > kMaxUpdatedFileSize) {
      return Result::Failure(ErrorCode::kTooLarge,
                             file->path +
                                 ": travels whole and is 2 GiB or larger; a payload item holds up "
                                 "to 2,147,483,647 bytes");
    }
  }
  return Result();
}

Result PatchMake::MakeUpdates() {
  MakeProgress progress(options_.show_progress ? options_.messages : nullptr, options_.terminal);
  RunUpdateJobs(&jobs_, threads_, scratch_.string(), options_.force, &progress,
                options_.exact_updates ? UpdateWriter::kExact : UpdateWriter::kCompact);
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
  if (StopRequested()) {
    return Result::Failure(
        ErrorCode::kStopped,
        "stopped; every file written so far is whole, the next make goes on from there");
  }
  for (const UpdateJob& job : jobs_) {
    if (!job.error.empty()) {
      return Result::Failure(ErrorCode::kWriteFailed, job.error);
    }
  }
  return Result();
}

// Every update into the payload, counted in its step.
Result PatchMake::AddUpdates() {
  for (UpdateJob& job : jobs_) {
    StepSummary* step = nullptr;
    for (StepSummary& s : summary_->steps) {
      if (s.from == job.from) step = &s;
    }
    if (job.kind == UpdateJob::kChanged) ++step->updated;
    if (CarriesNewFileWhole(job)) ++step->whole;
    if (job.kind == UpdateJob::kDeleted) ++step->deleted;
    if (job.kind != UpdateJob::kDeleted) {
      if (job.reused) {
        ++step->reused;
        ++summary_->reused;
      } else {
        ++summary_->made;
      }
    }
    const bool added =
        job.kind == UpdateJob::kDeleted
            ? payload_.AddBytes(UpdatePayloadName(job), job.relative, {2})  // the deletion update
            : payload_.AddFile(UpdatePayloadName(job), job.relative, job.update_path,
                               job.update_digest);
    if (!added) {
      return Result::Failure(ErrorCode::kInvalidInput, payload_.error());
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
  return Result();
}

Result PatchMake::AddWholeFiles() {
  for (const auto& [name, file] : whole_) {
    const std::string installed = InstalledName(name.substr(name.find('\\') + 1));
    if (!payload_.AddFile(name, installed, file->path, DigestOf(*file))) {
      return Result::Failure(ErrorCode::kInvalidInput, payload_.error());
    }
    ++summary_->whole_files;
    summary_->whole.push_back({name, file->size});
  }
  return Result();
}

// Checksum lists: every version's tree; the patch version's also holds what
// "All\" and "Add\" put there, under the name the patcher gives the file it
// writes (the payload's stored, upper-cased name).
Result PatchMake::AddChecksumLists() {
  std::set<std::string> warned;
  const ReleasedVersion& newest = project_.versions.back();
  for (const ReleasedVersion& v : project_.versions) {
    VersionChecksumList list;
    for (const auto& [key, file] : v.files) list.Add(file.relative, DigestOf(file));
    if (&v == &newest) {
      for (const auto& [name, file] : whole_) {
        const std::string upper = UpperAscii(name);
        if (upper.rfind("ALL\\", 0) != 0 && upper.rfind("ADD\\", 0) != 0) continue;
        const std::string relative = FoldName(name.substr(4));
        list.Add(relative, DigestOf(*file), !IsVariant(relative));
      }
    }
    const std::string text = list.Text(options_.messages, &warned);
    if (!payload_.AddBytes("crc\\" + v.text + "\\crc.crc", "",
                           std::vector<uint8_t>(text.begin(), text.end()))) {
      return Result::Failure(ErrorCode::kInvalidInput, payload_.error());
    }
  }
  return Result();
}

// The manifest lists every item before it is signed, so the signature covers
// the whole payload; the patcher carries the matching key.
Result PatchMake::SignManifest() {
  std::vector<PayloadItemEntry> listed;
  if (Result items = ListPayloadItems(&payload_, &listed); !items.ok()) return items;
  if (Result put = PutPayloadItems(listed, &project_.manifest); !put.ok()) return put;
  std::vector<uint8_t> signature;
  if (Result signed_manifest = platform::SignBytes(project_.key_pem, project_.manifest.data(),
                                                   project_.manifest.size(), &signature);
      !signed_manifest.ok()) {
    return Result::Failure(
        ErrorCode::kInvalidInput,
        project_.key_path + ": cannot sign with this key: " + signed_manifest.message());
  }
  payload_.AddBytes("version.cfg", "", project_.manifest);
  payload_.AddBytes("version.cfg.sign", "", signature);
  summary_->payload_items = static_cast<int>(payload_.count()) + 1;  // and the key
  summary_->payload_bytes = payload_.total_bytes() + public_key_.size();
  return Result();
}

// Everything the outputs are made from is fingerprinted: when the last make
// recorded the same, and its outputs are still as it wrote them, there is
// nothing to do.
Result PatchMake::WriteOutputs() {
  std::vector<std::string> outputs;
  if (!options_.win32_stub.empty()) outputs.push_back(win32_out_);
  if (!options_.native_stub.empty()) outputs.push_back(native_out_);
  ContentHash fingerprint;
  fingerprint.UpdateField("patchbuild make 2");
  for (const std::string& output : outputs) fingerprint.UpdateField(output);
  if (!FingerprintFile(options_.win32_stub, &fingerprint) ||
      !FingerprintFile(options_.native_stub, &fingerprint)) {
    return Result::Failure(
        ErrorCode::kReadFailed,
        "cannot read the patcher stub " +
            (options_.win32_stub.empty() ? options_.native_stub : options_.win32_stub));
  }
  fingerprint.UpdateNumber(public_key_.size());
  fingerprint.Update(public_key_.data(), public_key_.size());
  payload_.Fingerprint(&fingerprint);
  const std::string record = (cache_ / "outputs.txt").string();
  summary_->win32_output = options_.win32_stub.empty() ? "" : win32_out_;
  summary_->native_output = options_.native_stub.empty() ? "" : native_out_;
  if (!options_.force && OutputsCurrent(record, fingerprint.Value(), outputs)) {
    summary_->up_to_date = true;
    return Result();
  }
  ForgetOutputs(record);
  if (Result packed = Pack(options_, &payload_, public_key_, win32_out_, native_out_);
      !packed.ok()) {
    if (StopRequested()) {
      return Result::Failure(ErrorCode::kStopped, "stopped; no output was half written");
    }
    return packed;
  }
  // Without a record the next make simply packs again.
  RecordOutputs(record, fingerprint.Value(), outputs);
  return Result();
}

}  // namespace

Result MakePatch(const MakeOptions& options, MakeSummary* summary) {
  return PatchMake(options, summary).Run();
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
