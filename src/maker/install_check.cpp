#include "maker/install_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/checksum_list.h"
#include "foundation/whole_file.h"
#include "maker/patch_project.h"
#include "maker/update_jobs.h"
#include "param/param_file.h"
#include "pe/native_trailer.h"
#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/version_resource.h"
#include "platform/signature.h"
#include "run/distributions.h"
#include "run/patch_manifest.h"
#include "run/version_detection.h"
#include "text/code_page_1252.h"

namespace corvane::maker {

namespace fs = std::filesystem;

namespace {

std::string VersionText(int number) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", number / 100, number % 100);
  return text;
}

bool SameNoCase(const std::string& a, const std::string& b) {
  return UpperAscii(a) == UpperAscii(b);
}

std::string FileVersionOf(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (path.empty() || !ReadWholeFile(path, &bytes)) return std::string();
  pe::PeImage image;
  pe::ResourceTree resources;
  if (!image.Parse(bytes.data(), bytes.size()) || !resources.Load(image)) return std::string();
  return pe::FileVersionOfImage(resources);
}

}  // namespace

std::string ResolveNoCase(const std::string& dir, const std::string& relative) {
  fs::path at = dir;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('\\', start);
    if (end == std::string::npos) end = relative.size();
    // The payload's names are code page 1252; the disk holds UTF-8, and its
    // names match as the patcher matches them (patch_project.h FoldName).
    const std::string name = relative.substr(start, end - start);
    const std::string part =
        text::IsValidUtf8(name) ? name : text::Utf16ToUtf8(text::Cp1252ToUtf16(name));
    start = end + 1;
    if (part.empty()) continue;
    std::error_code ec;
    if (fs::exists(at / part, ec)) {
      at /= part;
      continue;
    }
    bool found = false;
    for (auto it = fs::directory_iterator(at, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
      const std::string entry = it->path().filename().string();
      if (SameNoCase(entry, part) ||
          text::EqualsNameNoCase(text::Utf8ToUtf16(entry), text::Utf8ToUtf16(part))) {
        at = it->path();
        found = true;
        break;
      }
    }
    if (!found) return std::string();
  }
  std::error_code ec;
  return fs::is_regular_file(at, ec) ? at.string() : std::string();
}

Result ReadPatcherPayload(const std::string& path, PatcherPayload* payload) {
  if (!ReadWholeFile(path, &payload->file)) {
    return Result::Failure(ErrorCode::kReadFailed, "cannot read " + path);
  }
  const uint8_t* data = payload->file.data();
  size_t size = payload->file.size();
  if (size >= pe::kNativeTrailerSize) {
    pe::NativeTrailer trailer;
    if (pe::DecodeNativeTrailer(data + size - pe::kNativeTrailerSize, size, &trailer)) {
      data += trailer.offset;
      size = static_cast<size_t>(trailer.size);
    }
  }
  pe::PeImage image;
  pe::ResourceTree resources;
  if (!image.Parse(data, size) || !resources.Load(image)) {
    return Result::Failure(
        ErrorCode::kInvalidInput,
        path + ": no payload (neither a PE image nor a native patcher with one)");
  }
  for (const pe::PayloadEntry& entry : pe::ListPayload(resources)) {
    if (!entry.entry || !entry.entry->bytes) continue;
    const std::string name = text::Utf16ToCp1252(entry.name);
    payload->names.push_back(name);
    payload->items[UpperAscii(name)] = {entry.entry->bytes, entry.entry->size};
  }
  for (const pe::ResourceEntry& entry : resources.entries()) {
    if (entry.type == pe::ResourceName::Id(pe::kRtRcData) &&
        entry.name == pe::ResourceName::Id(pe::kPublicKeyResourceId) && entry.bytes) {
      payload->public_key.assign(entry.bytes, entry.bytes + entry.size);
    }
  }
  if (!payload->items.count("VERSION.CFG")) {
    return Result::Failure(ErrorCode::kInvalidInput, path + ": the payload has no version.cfg");
  }
  return Result();
}

Result CheckInstallation(const PatcherPayload& payload, const std::string& game_dir,
                         CheckReport* report) {
  const PatcherPayload::Item manifest_bytes = payload.items.at("VERSION.CFG");
  auto sign = payload.items.find("VERSION.CFG.SIGN");
  report->has_key = payload.public_key.size() == 148;
  if (report->has_key && sign != payload.items.end()) {
    platform::SignatureCheck check;
    check.key_blob = payload.public_key.data();
    check.key_length = 148;
    check.signature = sign->second.bytes;
    check.signature_length = sign->second.size;
    report->signature_valid = platform::VerifySignature(manifest_bytes.bytes, manifest_bytes.size,
                                                        check) == platform::kSignatureValid;
  }
  ParamFile manifest;
  if (!LoadManifest(&manifest, manifest_bytes.bytes, manifest_bytes.size)) {
    return Result::Failure(ErrorCode::kInvalidInput, "the payload's version.cfg does not load");
  }
  const ManifestHeader header = ReadManifestHeader(manifest);
  report->patch_version = header.version.c_str();
  report->app_name = header.app_name.c_str();
  const int patch_number = ParseVersion(header.version.c_str());

  if (!fs::is_directory(game_dir)) {
    return Result::Failure(ErrorCode::kInvalidInput, game_dir + ": not a directory");
  }
  report->file_version = FileVersionOf(ResolveNoCase(game_dir, report->app_name));

  // Every checksum list against the directory.
  for (const std::string& name : payload.names) {
    const std::string upper = UpperAscii(name);
    if (upper.rfind("CRC\\", 0) != 0 || upper.size() < 12 ||
        upper.substr(upper.size() - 8) != "\\CRC.CRC")
      continue;
    VersionMatch match;
    match.version = name.substr(4, name.size() - 12);
    const PatcherPayload::Item list = payload.items.at(upper);
    ChecksumListReader reader(reinterpret_cast<const char*>(list.bytes), list.size);
    ChecksumLine line;
    while (reader.Next(&line)) {
      ++match.files;
      int base = 0;
      const std::string listed(line.name);
      DistributionSuffix(listed.c_str(), &base);
      const std::string path = ResolveNoCase(game_dir, listed.substr(0, static_cast<size_t>(base)));
      uint32_t crc = 0;
      if (path.empty() || !FileCrc32(path, &crc)) {
        if (!line.optional) ++match.missing;
        continue;
      }
      if (line.Matches(crc))
        ++match.matching;
      else if (!line.optional)
        match.differing.push_back(listed);
    }
    report->versions.push_back(match);
  }
  std::sort(report->versions.begin(), report->versions.end(),
            [](const VersionMatch& a, const VersionMatch& b) {
              return ParseVersion(a.version.c_str()) < ParseVersion(b.version.c_str());
            });

  // The installed version: the executable's FileVersion when there is one
  // (what the patcher reads), else the one list that matches.
  if (!report->file_version.empty()) {
    report->installed = VersionText(ParseVersion(report->file_version.c_str()));
  } else {
    for (const VersionMatch& v : report->versions) {
      if (v.Matches() && v.files > 0) report->installed = v.version;
    }
  }
  if (report->installed.empty()) return Result();
  const int installed = ParseVersion(report->installed.c_str());
  const VersionMatch* own = nullptr;
  for (const VersionMatch& v : report->versions) {
    if (v.version == report->installed) own = &v;
  }
  report->up_to_date = installed == patch_number;
  report->patchable = installed < patch_number && installed / 100 == patch_number / 100 &&
                      installed >= header.required_for_patch && (!own || own->Matches());

  for (int step = installed; step < patch_number && installed / 100 == patch_number / 100; ++step) {
    const std::string prefix = UpperAscii(VersionText(step) + "-" + VersionText(step + 1) + "\\");
    std::vector<StepFile> files;
    for (const std::string& name : payload.names) {
      if (UpperAscii(name).rfind(prefix, 0) != 0) continue;
      std::string rest = name.substr(prefix.size());
      if (rest.size() > 4) rest.resize(rest.size() - 4);  // ".upd"
      const PatcherPayload::Item item = payload.items.at(UpperAscii(name));
      files.push_back({rest, item.size == 1 && item.bytes[0] == 2});
    }
    report->steps.emplace_back(VersionText(step) + "-" + VersionText(step + 1), files);
  }
  for (const std::string& name : payload.names) {
    const std::string upper = UpperAscii(name);
    if (upper.rfind("ALL\\", 0) == 0 || upper.rfind("ADD\\", 0) == 0 ||
        upper.rfind(UpperAscii(report->installed) + "\\", 0) == 0) {
      report->whole_files.push_back(name);
    }
  }
  return Result();
}

void PrintCheckReport(const CheckReport& report, std::FILE* out) {
  std::fprintf(out, "patch: version %s of %s; signature %s\n", report.patch_version.c_str(),
               report.app_name.c_str(),
               !report.has_key ? "not checked (no key in the patcher; the built-in key decides)"
               : report.signature_valid ? "valid"
                                        : "INVALID");
  std::fprintf(out, "game executable: %s\n",
               report.file_version.empty() ? "no FileVersion found"
                                           : ("FileVersion " + report.file_version).c_str());
  for (const VersionMatch& v : report.versions) {
    std::fprintf(out, "checksum list %s: %d of %d files match", v.version.c_str(), v.matching,
                 v.files);
    if (v.missing) std::fprintf(out, ", %d missing", v.missing);
    if (!v.differing.empty()) std::fprintf(out, ", %zu differ", v.differing.size());
    std::fprintf(out, "%s\n", v.Matches() ? " (matches)" : "");
  }
  if (report.installed.empty()) {
    std::fprintf(out, "installed version: unknown\n");
    return;
  }
  std::fprintf(out, "installed version: %s\n", report.installed.c_str());
  for (const VersionMatch& v : report.versions) {
    if (v.version != report.installed) continue;
    for (const std::string& f : v.differing)
      std::fprintf(out, "  differs from %s: %s\n", v.version.c_str(), f.c_str());
  }
  if (report.up_to_date) {
    std::fprintf(out, "already at the patch's version; the patcher would verify it\n");
    return;
  }
  if (!report.patchable) {
    std::fprintf(out, "the patcher would refuse this installation\n");
    return;
  }
  for (const auto& [step, files] : report.steps) {
    std::fprintf(out, "step %s: %zu files\n", step.c_str(), files.size());
    for (const StepFile& f : files)
      std::fprintf(out, "  %s%s\n", f.file.c_str(), f.deletion ? " (deleted)" : "");
  }
  std::fprintf(out, "whole files: %zu\n", report.whole_files.size());
  for (const std::string& f : report.whole_files) std::fprintf(out, "  %s\n", f.c_str());
}

}  // namespace corvane::maker
