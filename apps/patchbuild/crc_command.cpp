// patchbuild crc DIR: prints the checksum list of a game tree, one line per
// installed file ("NAME crc" with the name relative to DIR in code page 1252
// and backslashes between its levels), made by the same code and with the
// same rules as the lists patchbuild make puts into a patcher
// (maker/version_list.h: edition variants share a line, empty files are
// optional, names a list cannot hold are left out with a warning), so the two
// agree byte for byte. Files named with --optional get a leading "+": their
// absence is not an error and a mismatch only a warning when the patcher
// verifies them.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "command_registry.h"
#include "foundation/r_string.h"
#include "maker/cache_file.h"
#include "maker/file_digest.h"
#include "maker/version_list.h"
#include "text/code_page_1252.h"

namespace {

struct CrcOptions {
  std::string directory;
  std::vector<std::string> optional;
  std::string output;
};

std::string Normalized(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

corvane::Result RunCrc(const CrcOptions& options) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(options.directory, error)) {
    return patchbuild::Failure(corvane::ErrorCode::kInvalidInput, "%s is not a directory",
                               options.directory.c_str());
  }
  corvane::maker::VersionChecksumList list;
  std::vector<bool> optional_used(options.optional.size(), false);
  for (fs::recursive_directory_iterator it(options.directory, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::u8string utf8 =
        fs::relative(it->path(), options.directory, error).generic_u8string();
    std::string name, offending;
    if (!corvane::text::Utf8ToCp1252Exact(std::string(utf8.begin(), utf8.end()), &name,
                                          &offending)) {
      return patchbuild::Failure(
          corvane::ErrorCode::kInvalidInput,
          "%s: the name holds \"%s\", which code page 1252 (the patcher's file names) cannot hold",
          it->path().string().c_str(), offending.c_str());
    }
    name = Normalized(name);
    corvane::maker::FileDigest digest;
    if (!corvane::maker::DigestOfFile(it->path().string(), &digest)) {
      return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot read %s",
                                 it->path().string().c_str());
    }
    bool optional = false;
    for (size_t i = 0; i < options.optional.size(); ++i) {
      if (corvane::CompareNoCase(Normalized(options.optional[i]).c_str(), name.c_str()) == 0) {
        optional = true;
        optional_used[i] = true;
      }
    }
    list.Add(name, digest, false, optional);
  }
  if (error) {
    return patchbuild::Failure(corvane::ErrorCode::kReadFailed, "cannot list %s: %s",
                               options.directory.c_str(), error.message().c_str());
  }
  for (size_t i = 0; i < options.optional.size(); ++i) {
    if (!optional_used[i]) {
      std::fprintf(stderr, "patchbuild: warning: --optional %s names no file\n",
                   options.optional[i].c_str());
    }
  }
  std::set<std::string> warned;
  const std::string text = list.Text(stderr, &warned);
  if (options.output.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return {};
  }
  if (corvane::Result written =
          corvane::maker::WriteFileWhole(options.output, text.data(), text.size());
      !written.ok()) {
    return written;
  }
  return {};
}

void AddCrc(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<CrcOptions>();
  CLI::App* command = app.add_subcommand(
      "crc",
      "Print the checksum list (crc.crc lines: NAME CRC-32, sorted, names relative to "
      "DIR in code page 1252 with backslashes) of every file below DIR");
  command->add_option("DIR", options->directory, "the game tree of one version")->required();
  command->add_option("--optional", options->optional,
                      "a file (relative name) whose absence or difference is tolerated; "
                      "written with a leading +; may be repeated");
  command->add_option("-o,--output", options->output, "write the list to this file");
  patchbuild::RunsCommand(command, outcome, [options] { return RunCrc(*options); });
}

patchbuild::CommandRegistration registration("crc", &AddCrc);

}  // namespace
