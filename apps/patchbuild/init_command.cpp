// patchbuild init DIR: a new patch project, ready for the released versions'
// trees: the manifest with placeholder values, a README that explains each
// of its keys (the configuration language has no comments), the folders, a
// new signing key pair named in signing-key.txt, and a .gitignore that keeps
// the cache and the private key out of version control.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>

#include "command_registry.h"
#include "key_pair.h"
#include "maker/cache_file.h"

namespace {

namespace fs = std::filesystem;

struct InitOptions {
  std::string directory;
  std::string game = "My Game";
  std::string exe = "GAME.EXE";
  std::string version = "1.01";
};

std::string Manifest(const InitOptions& o) {
  const std::string key = "Software\\" + o.game;
  return "configApp = \"" + key + "\";\n" + "displayName = \"" + o.game + "\";\n" + "appName = \"" +
         o.exe + "\";\n" + "version = \"" + o.version + "\";\n" +
         "isPatch = 1;\n"
         "\n"
         "class Distributions {\n"
         "  class STANDARD { scope = 1; name = \"" +
         o.game +
         "\"; parent = \"\"; };\n"
         "};\n"
         "\n"
         "class UpdateRegistry {\n"
         "  class Version {\n"
         "    registryUser = 0;\n"
         "    registryPath = \"" +
         key +
         "\";\n"
         "    registryName = \"VERSION\";\n"
         "    registryValue = \"" +
         o.version +
         "\";\n"
         "  };\n"
         "};\n";
}

std::string Readme(const InitOptions& o, const std::string& key_name) {
  return "# Patch project: " + o.game +
         "\n"
         "\n"
         "Drop each released version's installed files into `versions/M.NN/` (every\n"
         "version from the oldest you patch up to `" +
         o.version +
         "`, the game executable\n"
         "included), whole files to copy into `files/All/` or `files/Add/`, then:\n"
         "\n"
         "    patchbuild make . out/patch --native\n"
         "\n"
         "Keep `" +
         key_name +
         ".key.pem` private and keep it: every later patch of the game\n"
         "must be signed with it (`.gitignore` keeps it and `.cache/` out of git).\n"
         "\n"
         "## version.cfg.txt, key by key\n"
         "\n"
         "The configuration language has no comments, so they are here.\n"
         "\n"
         "| key | meaning |\n"
         "|---|---|\n"
         "| `configApp` | registry key below HKEY_LOCAL_MACHINE whose string value `MAIN` is the "
         "installation folder (the game's installer writes it) |\n"
         "| `displayName` | the game's name in the patcher's window and messages |\n"
         "| `appName` | the game executable, relative to the installation; its FileVersion is the "
         "installed version |\n"
         "| `version` | the version the patch brings the game to: the newest folder under "
         "`versions/` |\n"
         "| `isPatch` | 1 for a patch; 0 for an add-on (installs files, checks no version) |\n"
         "| `Distributions` | one class per edition: `scope = 1` an edition the player may be "
         "asked for (`name` is its title), `scope = 0` one that only serves as a parent; `parent` "
         "the edition whose variant files (`X.#NAME`) it falls back on, `\"\"` for none |\n"
         "| `WhatDistribution` | optional: classes of `file`, `crc` (the file's CRC-32 as "
         "`patchbuild crc` prints it, as a signed number) and `distributions[]`, telling the "
         "installed edition from its files |\n"
         "| `UpdateRegistry` | values written after a good run: `registryPath` and `registryName` "
         "below HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER with `registryUser = 1`; `registryValue` "
         "as a string; `distributions[]` to write it for those editions only |\n"
         "\n"
         "docs/making-a-patch.md of patchbuild tells the whole story.\n";
}

corvane::Result RunInit(const InitOptions& options) {
  // The texts go into the manifest between quotes, which have no escapes.
  for (const std::string* text : {&options.game, &options.exe, &options.version}) {
    for (char c : *text) {
      if (c == '"' || static_cast<unsigned char>(c) < 0x20) {
        return patchbuild::Failure(
            corvane::ErrorCode::kInvalidInput,
            "\"%s\": a manifest text cannot hold quotes or control characters", text->c_str());
      }
    }
  }
  const fs::path dir(options.directory);
  std::error_code error;
  if (fs::exists(dir, error) && !(fs::is_directory(dir, error) && fs::is_empty(dir, error))) {
    return patchbuild::Failure(
        corvane::ErrorCode::kInvalidInput,
        "%s exists and is not an empty folder; init writes a new project only",
        options.directory.c_str());
  }
  for (const char* sub : {"versions", "files/All", "files/Add"}) {
    fs::create_directories(dir / sub, error);
    if (error) {
      return patchbuild::Failure(corvane::ErrorCode::kWriteFailed, "cannot make %s: %s",
                                 (dir / sub).string().c_str(), error.message().c_str());
    }
  }
  std::string key_name = fs::absolute(dir, error).lexically_normal().filename().string();
  if (key_name.empty() || key_name == "." || key_name == "..") key_name = "signing";
  if (corvane::Result written = patchbuild::WriteKeyPair((dir / key_name).string(), false);
      !written.ok()) {
    return written;
  }
  const std::pair<const char*, std::string> files[] = {
      {"version.cfg.txt", Manifest(options)},
      {"signing-key.txt", key_name + ".key.pem\n"},
      {".gitignore", ".cache/\n*.key.pem\n"},
      {"README.md", Readme(options, key_name)},
  };
  for (const auto& [name, text] : files) {
    if (corvane::Result written =
            corvane::maker::WriteFileWhole((dir / name).string(), text.data(), text.size());
        !written.ok()) {
      return written;
    }
  }
  if (patchbuild::CurrentVerbosity() == patchbuild::Verbosity::kQuiet) return {};
  std::printf("made the patch project %s (key pair %s.key.pem / %s.pubkey)\n",
              options.directory.c_str(), key_name.c_str(), key_name.c_str());
  std::printf(
      "next: put each version's files in %s/versions/M.NN/, edit version.cfg.txt "
      "(README.md explains each key), then: patchbuild make %s OUT --native\n",
      options.directory.c_str(), options.directory.c_str());
  return {};
}

void AddInit(CLI::App& app, patchbuild::CommandOutcome* outcome) {
  auto options = std::make_shared<InitOptions>();
  CLI::App* command =
      app.add_subcommand("init", "Start a patch project: manifest, folders, a new key pair");
  command->add_option("DIR", options->directory, "the project folder (new, or empty)")->required();
  command->add_option("--game", options->game, "the game's name (default: \"My Game\")");
  command->add_option("--exe", options->exe, "the game executable (default: GAME.EXE)");
  command->add_option("--patch-version", options->version,
                      "the version the patch brings the game to (default: 1.01)");
  patchbuild::RunsCommand(command, outcome, [options] { return RunInit(*options); });
}

patchbuild::CommandRegistration registration("init", &AddInit);

}  // namespace
