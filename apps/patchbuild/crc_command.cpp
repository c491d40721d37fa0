// patchbuild crc DIR: prints the checksum list of a game tree, one line per
// file ("NAME crc" with the name relative to DIR and backslashes between its
// levels, sorted), the lines of a "crc\<version>\crc.crc" payload resource.
// Files named with --optional get a leading "+": their absence is not an
// error and a mismatch only a warning when the patcher verifies them.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "command_registry.h"
#include "engine/checksum_list.h"
#include "engine/crc32.h"
#include "foundation/r_string.h"
#include "pe/code_page_1252.h"

namespace {

struct CrcOptions {
  std::string directory;
  std::vector<std::string> optional;
  std::string output;
};

struct ListedFile {
  std::string name;  // code page 1252, backslashes
  uint32_t crc = 0;
  bool optional = false;
};

bool FileCrc(const std::filesystem::path& path, uint32_t* crc) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> buffer(1 << 20);
  uint32_t state = corvane::kCrc32Initial;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    std::streamsize got = in.gcount();
    if (got > 0) state = corvane::Crc32Update(state, buffer.data(), static_cast<size_t>(got));
  }
  if (in.bad()) return false;
  *crc = corvane::Crc32Final(state);
  return true;
}

// The system's form of a relative path: code page 1252 with backslashes.
std::string SystemName(const std::filesystem::path& relative) {
  std::string utf8 = relative.generic_string();
  std::string name = corvane::pe::Utf16ToCp1252(corvane::pe::Utf8ToUtf16(utf8));
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

std::string Normalized(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

void RunCrc(const CrcOptions& options) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(options.directory, error)) {
    patchbuild::Fail("%s is not a directory", options.directory.c_str());
    return;
  }
  std::vector<ListedFile> files;
  std::vector<bool> optional_used(options.optional.size(), false);
  for (fs::recursive_directory_iterator it(options.directory, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    ListedFile file;
    file.name = SystemName(fs::relative(it->path(), options.directory, error));
    // The list cannot say these: a name ends at its first space, and a
    // leading "+" would read as the optional mark.
    if (file.name.find(' ') != std::string::npos || file.name[0] == '+' ||
        file.name.size() + 10 > corvane::kMaxChecksumLineLength) {
      patchbuild::Fail("%s cannot be named in a checksum list", file.name.c_str());
      return;
    }
    if (it->file_size(error) == 0) {
      // The patcher cannot map an empty file and takes it for a missing one.
      std::fprintf(stderr, "patchbuild: warning: %s is empty and left out\n", file.name.c_str());
      continue;
    }
    if (!FileCrc(it->path(), &file.crc)) {
      patchbuild::Fail("cannot read %s", it->path().string().c_str());
      return;
    }
    for (size_t i = 0; i < options.optional.size(); ++i) {
      if (corvane::CompareNoCase(Normalized(options.optional[i]).c_str(), file.name.c_str()) == 0) {
        file.optional = true;
        optional_used[i] = true;
      }
    }
    files.push_back(file);
  }
  if (error) {
    patchbuild::Fail("cannot list %s: %s", options.directory.c_str(), error.message().c_str());
    return;
  }
  for (size_t i = 0; i < options.optional.size(); ++i) {
    if (!optional_used[i]) {
      std::fprintf(stderr, "patchbuild: warning: --optional %s names no file\n",
                   options.optional[i].c_str());
    }
  }
  std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) {
    int order = corvane::CompareNoCase(a.name.c_str(), b.name.c_str());
    return order != 0 ? order < 0 : a.name < b.name;
  });

  std::string text;
  for (const ListedFile& file : files) {
    char value[16];
    std::snprintf(value, sizeof(value), " %08x\n", static_cast<unsigned>(file.crc));
    text += (file.optional ? "+" : "") + file.name + value;
  }
  if (options.output.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out.flush()) patchbuild::Fail("cannot write %s", options.output.c_str());
}

void AddCrc(CLI::App& app) {
  auto options = std::make_shared<CrcOptions>();
  CLI::App* command = app.add_subcommand(
      "crc", "Print the checksum list (crc.crc lines: NAME CRC-32, sorted, names relative to "
             "DIR with backslashes) of every file below DIR");
  command->add_option("DIR", options->directory, "the game tree of one version")->required();
  command->add_option("--optional", options->optional,
                      "a file (relative name) whose absence or difference is tolerated; "
                      "written with a leading +; may be repeated");
  command->add_option("-o,--output", options->output, "write the list to this file");
  command->callback([options] { RunCrc(*options); });
}

patchbuild::CommandRegistration registration("crc", &AddCrc);

}  // namespace
