// A project shaped like a real release, generated (no network, seeded):
// hundreds of files in deep folders, empty files, duplicate files, files
// that move between folders, names with spaces and accented code page 1252
// letters, a file removed and brought back, an edition variant that changes
// for one edition only, a file that stops being empty. patchbuild make makes
// the native patcher, which is then run on an installation of every older
// (version, edition): each must end as the newest version of its edition.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "patcher_process.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "version_block.h"

namespace corvane::e2e {
namespace {

namespace fs = std::filesystem;

const char* kKey = "Software\\Corvane Samples\\Real Release";
const char* kVersions[] = {"1.00", "1.01", "1.02"};
const char* kEditions[] = {"GOLD", "CLASSIC"};

using Tree = std::map<std::string, Bytes>;  // UTF-8 relative path -> content

// The three version trees of a release.
class ReleaseGenerator {
 public:
  explicit ReleaseGenerator(uint32_t seed) : random_(seed) {}

  std::vector<Tree> Generate() {
    Tree base;
    const char* tops[] = {"data", "Maps", "sound/fx", "Textures/Hi Res",
                          "Caf\xc3\xa9/cr\xc3\xa8me"};
    for (int i = 0; i < 300; ++i) {
      std::string dir = tops[i % 5];
      for (int depth = 0; depth < static_cast<int>(i % 4); ++depth)
        dir += "/level" + std::to_string((i / 5 + depth) % 3);
      base[dir + "/file" + std::to_string(i) + ".dat"] = Content(64 + random_() % 6000);
    }
    base["Read Me First.txt"] = Content(700);
    base
        ["data/\xc3\x89P\xc3\x89"
         "E.DAT"] = Content(3000);
    base["Maps/Level \xc3\xa0 deux.map"] = Content(2500);
    base["data/empty.lst"] = Bytes();
    base["sound/silence.wav"] = Bytes();        // stops being empty in 1.02
    base["data/OBSOLETE.DAT"] = Content(900);   // removed in 1.01
    base["data/COMEBACK.DAT"] = Content(1200);  // removed in 1.01, back in 1.02
    base["Maps/MOVER.MAP"] = Content(1500);     // moves to data/ in 1.01
    base["EDITION.TXT.#GOLD"] = ToBytes("Gold edition\n");
    base["EDITION.TXT.#CLASSIC"] = ToBytes("Classic edition\n");
    base["data/LANG.DAT.#GOLD"] = Content(800);
    base["data/LANG.DAT.#CLASSIC"] = Content(800);
    const Bytes shared = Content(4000);  // the same bytes in several places
    for (const char* place : {"data/DUP1.DAT", "Maps/DUP2.DAT", "sound/fx/DUP3.DAT"})
      base[place] = shared;
    base["GAME.EXE"] = BuildGameExecutable("1.00");

    Tree v101 = base;
    v101["GAME.EXE"] = BuildGameExecutable("1.01");
    Edit(&v101, 40);
    v101.erase("data/OBSOLETE.DAT");
    v101.erase("data/COMEBACK.DAT");
    v101["data/MOVER.MAP"] = v101.at("Maps/MOVER.MAP");
    v101.erase("Maps/MOVER.MAP");
    v101
        ["data/\xc3\x89P\xc3\x89"
         "E.DAT"] = Changed(v101.at("data/\xc3\x89P\xc3\x89"
                                    "E.DAT"));
    v101["Read Me First.txt"] = Changed(v101.at("Read Me First.txt"));
    for (const char* place : {"data/DUP1.DAT", "Maps/DUP2.DAT", "sound/fx/DUP3.DAT"}) {
      v101[place] = Changed(base.at("data/DUP1.DAT"), 7);  // the same change everywhere
    }
    v101["data/NEW IN 101.DAT"] = Content(1000);

    Tree v102 = v101;
    v102["GAME.EXE"] = BuildGameExecutable("1.02");
    Edit(&v102, 40);
    v102["data/COMEBACK.DAT"] = Content(1300);
    v102["sound/silence.wav"] = Content(400);
    v102["data/LANG.DAT.#GOLD"] = Changed(v102.at("data/LANG.DAT.#GOLD"));
    v102["Maps/Level \xc3\xa0 deux.map"] = Changed(v102.at("Maps/Level \xc3\xa0 deux.map"));
    return {base, v101, v102};
  }

 private:
  Bytes Content(size_t size) {
    Bytes bytes(size);
    for (uint8_t& b : bytes)
      b = static_cast<uint8_t>(random_() % 7 == 0 ? random_() : 'a' + random_() % 4);
    return bytes;
  }
  // A few bytes overwritten and a few inserted, as a real release changes.
  Bytes Changed(Bytes bytes, uint32_t salt = 0) {
    std::mt19937 local(static_cast<uint32_t>(bytes.size()) * 31 + salt);
    for (int i = 0; i < 5 && !bytes.empty(); ++i) bytes[local() % bytes.size()] ^= 0x5A;
    bytes.insert(bytes.begin() + static_cast<long>(local() % (bytes.size() + 1)), 16,
                 static_cast<uint8_t>(salt + 1));
    return bytes;
  }
  void Edit(Tree* tree, int count) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : *tree) {
      if (name.rfind("data/file", 0) == 0 || name.find("/file") != std::string::npos)
        names.push_back(name);
    }
    for (int i = 0; i < count; ++i) {
      const std::string& name = names[random_() % names.size()];
      (*tree)[name] = Changed((*tree)[name], static_cast<uint32_t>(i));
    }
  }

  std::mt19937 random_;
};

std::string Manifest(const Tree& newest) {
  auto crc = [&](const char* name) {
    const Bytes& b = newest.at(name);
    return std::to_string(static_cast<int32_t>(Crc32(b.data(), b.size())));
  };
  return std::string("configApp = \"Software\\Corvane Samples\\Real Release\";\n") +
         "displayName = \"R\xc3\xa9"
         "al Release\";\n"
         "appName = \"GAME.EXE\";\nversion = \"1.02\";\nisPatch = 1;\n"
         "class Distributions {\n"
         "  class BASE { scope = 0; parent = \"\"; };\n"
         "  class CLASSIC { scope = 1; name = \"Classic\"; parent = \"BASE\"; };\n"
         "  class GOLD { scope = 1; name = \"Gold\"; parent = \"BASE\"; };\n"
         "};\n"
         "class WhatDistribution {\n"
         "  class Gold { file = \"EDITION.TXT\"; crc = " +
         crc("EDITION.TXT.#GOLD") +
         "; distributions[] = {\"GOLD\"}; };\n"
         "  class Classic { file = \"EDITION.TXT\"; crc = " +
         crc("EDITION.TXT.#CLASSIC") +
         "; distributions[] = {\"CLASSIC\"}; };\n"
         "};\n"
         "class UpdateRegistry {\n"
         "  class Version { registryUser = 0; registryPath = \"Software\\Corvane Samples\\Real "
         "Release\";\n"
         "    registryName = \"VERSION\"; registryValue = \"1.02\"; };\n"
         "};\n";
}

// Names compared as the game's file system would: a-z without regard to case
// (whole files land under their stored, upper-case names).
std::string Folded(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return name;
}

// totals.payload_bytes of the document `make --json` ends its output with; 0
// when there is none.
uint64_t TotalPayloadBytes(const std::string& output) {
  const size_t totals = output.rfind("\"totals\"");
  if (totals == std::string::npos) return 0;
  const std::string key = "\"payload_bytes\": ";
  const size_t at = output.find(key, totals);
  if (at == std::string::npos) return 0;
  return std::strtoull(output.c_str() + at + key.size(), nullptr, 10);
}

TEST(RealReleaseE2E, EveryOlderVersionAndEditionEndsAsTheNewest) {
  ScratchInstall scratch("real-release");
  const std::string project = scratch.root() + "/project";
  const std::vector<Tree> trees = ReleaseGenerator(0x13).Generate();
  for (size_t v = 0; v < trees.size(); ++v) {
    for (const auto& [name, bytes] : trees[v]) {
      const fs::path path = fs::path(project) / "versions" / kVersions[v] / fs::u8path(name);
      fs::create_directories(path.parent_path());
      ASSERT_TRUE(WriteFileBytes(path.string(), bytes));
    }
  }
  ASSERT_TRUE(WriteFileBytes(project + "/version.cfg.txt", ToBytes(Manifest(trees.back()))));
  ASSERT_TRUE(WriteFileBytes(project + "/signing-key.txt", ToBytes(std::string(CORVANE_SOURCE_DIR) +
                                                                   "/tests/keys/test.key.pem\n")));

  const std::string out = scratch.root() + "/out/real-release";
  PatcherOptions make;
  make.program = PatchbuildProgram();
  make.arguments = {"make", project, out, "--native-stub", PatcherProgram(), "--json"};
  make.timeout_seconds = 300;
  const PatcherRun made = RunPatcher(make);
  ASSERT_EQ(made.exit_code, 0) << made.output;
  // The exact writer's patch of the same project: the compact writer's payload
  // may never be the larger one.
  PatcherOptions exact = make;
  exact.arguments = {"make",           project,           out + "-exact", "--native-stub",
                     PatcherProgram(), "--exact-updates", "--json"};
  const PatcherRun made_exact = RunPatcher(exact);
  ASSERT_EQ(made_exact.exit_code, 0) << made_exact.output;
  const uint64_t payload = TotalPayloadBytes(made.output);
  const uint64_t exact_payload = TotalPayloadBytes(made_exact.output);
  ASSERT_GT(payload, 0u) << made.output;
  EXPECT_LE(payload, exact_payload);
  std::printf("payload: %ju bytes (exact writer: %ju)\n", static_cast<uintmax_t>(payload),
              static_cast<uintmax_t>(exact_payload));

  // Names with a space cannot be said in a checksum list: told, not hidden.
  EXPECT_NE(made.output.find("Read Me First.txt: cannot be named in a checksum list"),
            std::string::npos)
      << made.output;

  for (size_t v = 0; v + 1 < trees.size(); ++v) {
    for (const char* edition : kEditions) {
      SCOPED_TRACE(std::string(kVersions[v]) + " " + edition);
      ScratchInstall install(std::string("real-release-") + kVersions[v] + edition);
      const Tree before = EditionFiles(trees[v], edition);
      for (const auto& [name, bytes] : before) ASSERT_TRUE(install.WriteGameFile(name, bytes));
      ASSERT_TRUE(install.Register(kKey));
      PatcherOptions run_options;
      run_options.program = out;
      run_options.wine_prefix = install.prefix();
      run_options.working_directory = install.root();
      run_options.timeout_seconds = 300;
      const PatcherRun run = RunPatcher(run_options);
      ASSERT_EQ(run.exit_code, 0) << run.output;

      std::map<std::string, std::pair<std::string, Bytes>> actual;
      for (const auto& [name, bytes] : install.Snapshot()) actual[Folded(name)] = {name, bytes};
      const Tree expected = EditionFiles(trees.back(), edition);
      for (const auto& [name, bytes] : expected) {
        auto it = actual.find(Folded(name));
        ASSERT_NE(it, actual.end()) << name << " missing";
        EXPECT_TRUE(it->second.second == bytes) << name << " differs";
      }
      // A file the patch removes is left where it is (a deletion update
      // leaves the installed file); nothing else is extra.
      std::map<std::string, bool> removed;
      for (const auto& [name, bytes] : before) removed[Folded(name)] = true;
      for (const auto& [folded, file] : actual) {
        bool known = false;
        for (const auto& [name, bytes] : expected) known = known || Folded(name) == folded;
        EXPECT_TRUE(known || removed.count(folded)) << file.first << " is extra";
      }
      std::string value;
      ASSERT_TRUE(install.ReadValue(false, kKey, "VERSION", &value));
      EXPECT_EQ(value, "1.02");
    }
  }
}

}  // namespace
}  // namespace corvane::e2e
