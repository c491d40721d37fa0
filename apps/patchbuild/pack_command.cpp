// patchbuild pack DIR OUT [--stub PATCHER] [--pubkey KEY.pubkey]
//
// Every file under DIR becomes a payload resource named by its path relative
// to DIR with backslashes, upper-cased. Without --stub, OUT is a resource-only
// payload DLL. With --stub, OUT is a copy of the patcher with the payload
// inside: a PE stub gets a new resource section, a native (ELF) stub gets the
// payload image appended behind a trailer. --pubkey puts a 148-byte public key
// blob into OUT as the numbered raw-data resource the patcher takes its key
// from, so a maker's own key needs no compiler.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/whole_file.h"
#include "maker/cache_file.h"
#include "pe/native_trailer.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_injector.h"
#include "pe/resource_writer.h"
#include "run/payload_names.h"
#include "text/code_page_1252.h"

namespace {

using corvane::ReadWholeFile;

namespace fs = std::filesystem;
using corvane::pe::ResourceItem;

struct PackOptions {
  std::string directory;
  std::string output;
  std::string stub;
  std::string pubkey;
};

// The payload name of a file: its relative path, backslashes, in code page
// 1252 (the patcher's names), upper case by the one rule of the resource
// writer. Empty, with the character in *offending, when the code page cannot
// hold the name.
std::u16string PayloadName(const fs::path& relative, std::string* offending) {
  std::string text;
  for (const fs::path& part : relative) {
    if (!text.empty()) text += '\\';
    // UTF-8 on every platform (string() would give the ANSI code page on Windows).
    const std::u8string utf8 = part.u8string();
    text.append(utf8.begin(), utf8.end());
  }
  std::string cp1252;
  if (!corvane::text::Utf8ToCp1252Exact(text, &cp1252, offending)) return std::u16string();
  return corvane::text::NameUpper(corvane::text::Cp1252ToUtf16(cp1252));
}

bool IsPublicKeyBlob(const std::vector<uint8_t>& blob) {
  return blob.size() == 148 && blob[0] == 6 && blob[1] == 2 &&
         std::equal(blob.begin() + 8, blob.begin() + 12, "RSA1");
}

corvane::Result RunPack(const PackOptions& options) {
  std::error_code error;
  if (!fs::is_directory(options.directory, error)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "%s is not a directory",
                               options.directory.c_str());
  }
  std::vector<fs::path> files;
  for (auto it = fs::recursive_directory_iterator(options.directory, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path());
  }
  if (error) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot list %s: %s",
                               options.directory.c_str(), error.message().c_str());
  }
  std::sort(files.begin(), files.end());

  // Contents stay alive until the writer has copied them.
  std::vector<std::vector<uint8_t>> contents(files.size());
  std::vector<ResourceItem> items;
  std::map<std::u16string, fs::path> names;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string offending;
    const std::u16string name = PayloadName(fs::relative(files[i], options.directory), &offending);
    if (name.empty()) {
      return patchbuild::Failure(
          corvane::ErrorCode::kInvalidInput,
          "%s: the name holds \"%s\", which code page 1252 (the patcher's file names) cannot hold",
          files[i].string().c_str(), offending.c_str());
    }
    if (name.size() > 511) {
      return patchbuild::Failure(corvane::ErrorCode::kTooLarge,
                                 "%s: the payload name is longer than 511 characters",
                                 files[i].string().c_str());
    }
    const std::string stored = corvane::text::Utf16ToCp1252(name);
    const corvane::PayloadNameFault fault = corvane::CheckPayloadName(stored.c_str());
    if (fault != corvane::PayloadNameFault::kNone) {
      return patchbuild::Failure(
          corvane::ErrorCode::kInvalidInput, "%s: the payload name %s is refused: %s",
          files[i].string().c_str(), stored.c_str(), corvane::DescribePayloadNameFault(fault));
    }
    const auto [it, added] = names.emplace(name, files[i]);
    if (!added) {
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "%s and %s have the same payload name",
                                 it->second.string().c_str(), files[i].string().c_str());
    }
    if (!ReadWholeFile(files[i].string(), &contents[i]) || contents[i].size() > 0x7FFFFFFF) {
      return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                                 files[i].string().c_str());
    }
    items.push_back(corvane::pe::PayloadItem(name, contents[i].data(),
                                             static_cast<uint32_t>(contents[i].size())));
  }

  std::vector<uint8_t> key;
  if (!options.pubkey.empty()) {
    if (!ReadWholeFile(options.pubkey, &key) || !IsPublicKeyBlob(key)) {
      return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                                 "%s is not a 148-byte public key blob", options.pubkey.c_str());
    }
    ResourceItem item;
    item.type = corvane::pe::ResourceName::Id(corvane::pe::kRtRcData);
    item.name = corvane::pe::ResourceName::Id(corvane::pe::kPublicKeyResourceId);
    item.bytes = key.data();
    item.size = static_cast<uint32_t>(key.size());
    items.push_back(item);
  }

  std::vector<uint8_t> output;
  corvane::Result packed;
  if (options.stub.empty()) {
    packed = corvane::pe::WriteResourceDll(items, &output);
  } else {
    std::vector<uint8_t> stub;
    if (!ReadWholeFile(options.stub, &stub)) {
      return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                                 options.stub.c_str());
    }
    corvane::pe::PeImage probe;
    if (probe.Parse(stub.data(), stub.size())) {
      packed = corvane::pe::AddResourceSection(stub.data(), stub.size(), items, &output)
                   .Within(options.stub + ": ");
    } else {
      std::vector<uint8_t> payload;
      packed = corvane::pe::WriteResourceDll(items, &payload);
      if (packed.ok()) {
        output = corvane::pe::AppendNativePayload(stub.data(), stub.size(), payload.data(),
                                                  payload.size());
      }
    }
  }
  if (!packed.ok()) {
    return packed;
  }
  // A patcher made from a stub is a program.
  if (corvane::Result written = corvane::maker::WriteFileWhole(
          options.output, output.data(), output.size(), !options.stub.empty());
      !written.ok()) {
    return written;
  }
  return {};
}

void AddPack(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<PackOptions>();
  CLI::App* command = app.add_subcommand("pack", "Pack a directory as payload resources");
  command->add_option("DIR", options->directory, "directory whose files become the payload")
      ->required();
  command->add_option("OUT", options->output, "payload DLL, or patcher with --stub")->required();
  command->add_option("--stub", options->stub,
                      "patcher to copy and put the payload into (PE or native)");
  command->add_option("--pubkey", options->pubkey,
                      "148-byte public key blob the patcher is to carry");
  patchbuild::RunsCommand(command, outcome, [options] { return RunPack(*options); });
}

patchbuild::CommandRegistration registration("pack", &AddPack);

}  // namespace
