// patchbuild inspect FILE: the version and the payload a module carries.
//
//   FileVersion: TEXT
//   NAME SIZE
//   ...
//
// FILE is a payload DLL, a patcher with its payload inside, or a native patcher
// with a payload image appended (then that image is listed).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "command_registry.h"
#include "foundation/whole_file.h"
#include "pe/native_trailer.h"
#include "pe/payload_names.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/version_resource.h"
#include "text/code_page_1252.h"

namespace {

struct InspectOptions {
  std::string file;
};

corvane::Result RunInspect(const InspectOptions& options) {
  std::vector<uint8_t> bytes;
  if (!corvane::ReadWholeFile(options.file, &bytes)) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                               options.file.c_str());
  }
  const uint8_t* image_bytes = bytes.data();
  size_t image_size = bytes.size();
  corvane::pe::NativeTrailer trailer;
  if (bytes.size() >= corvane::pe::kNativeTrailerSize &&
      corvane::pe::DecodeNativeTrailer(
          bytes.data() + bytes.size() - corvane::pe::kNativeTrailerSize, bytes.size(), &trailer)) {
    image_bytes = bytes.data() + trailer.offset;
    image_size = static_cast<size_t>(trailer.size);
  }
  corvane::pe::PeImage image;
  if (!image.Parse(image_bytes, image_size)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                               "%s is not a PE image and carries no payload image: %s",
                               options.file.c_str(), image.error().c_str());
  }
  corvane::pe::ResourceTree tree;
  if (!tree.Load(image)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput,
                               "%s: the resource directory is unreadable", options.file.c_str());
  }
  std::printf("FileVersion: %s\n", corvane::pe::FileVersionOfImage(tree).c_str());
  for (const corvane::pe::PayloadEntry& payload : corvane::pe::ListPayload(tree)) {
    std::printf("%s %u\n", corvane::text::Utf16ToCp1252(payload.name).c_str(),
                static_cast<unsigned>(payload.entry->size));
  }
  if (tree.damaged())
    std::fprintf(stderr, "patchbuild: warning: parts of the resource directory are damaged\n");
  return {};
}

void AddInspect(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<InspectOptions>();
  CLI::App* command =
      app.add_subcommand("inspect", "Print a module's FileVersion and its payload resources");
  command->add_option("FILE", options->file, "payload DLL, patcher, or native patcher")->required();
  patchbuild::RunsCommand(command, outcome, [options] { return RunInspect(*options); });
}

patchbuild::CommandRegistration registration("inspect", &AddInspect);

}  // namespace
