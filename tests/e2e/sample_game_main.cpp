// corvane_sample_game DIR: the demo's sample data, made with the project's
// own writers.
//
//   DIR/prefix/             a Wine-style prefix: system.reg with the game's
//                           key, dosdevices/c: -> ../drive_c, and the game
//                           installed at version 1.00 (Gold edition) in
//                           C:\Games\Game
//   DIR/trees/1.0N/         the game's files at 1.00, 1.01 and 1.02 (what a
//                           patch maker diffs)
//   DIR/payload/            the whole files of the patch: "All\" files, an
//                           edition variant, an "Add\" file
//   DIR/version.cfg.txt     the manifest in the configuration text form:
//                           patch to 1.02, two editions told apart by the CRC
//                           of EDITION.TXT, registry values
//
// With --crc-lists the checksum lists ("crc\1.0N\crc.crc") are written into
// DIR/payload as well (for a patchbuild without the crc command).

#include <cstdio>
#include <cstring>
#include <string>

#include "payload_builder.h"
#include "sample_game.h"

using namespace corvane;
using namespace corvane::e2e;

namespace {

bool WriteTree(const std::string& dir, const FileSet& files) {
  for (const auto& [name, bytes] : files) {
    std::string path = dir + "/";
    for (char c : name) path += c == '\\' ? '/' : c;
    if (!WriteFileBytes(path, bytes)) return false;
  }
  return true;
}

// Edition marker file: its CRC tells the installed edition.
const char* kEditionFile = "EDITION.TXT";
Bytes EditionMarker(const std::string& edition) { return ToBytes(edition + " edition\r\n"); }

// The manifest in the configuration text form, for "patchbuild param compile".
std::string ManifestText(uint32_t gold_crc, uint32_t classic_crc) {
  char text[4096];
  std::snprintf(text, sizeof text, R"(configApp = "Software\Corvane Samples\Sample Game";
displayName = "Sample Game";
appName = "GAME.EXE";
version = "1.02";
isPatch = 1;

class Distributions {
  class BASE { scope = 0; parent = ""; };
  class CLASSIC { scope = 1; name = "Sample Game Classic"; parent = "BASE"; };
  class GOLD { scope = 1; name = "Sample Game Gold Edition"; parent = "BASE"; };
};

class WhatDistribution {
  class Gold { file = "EDITION.TXT"; crc = %d; distributions[] = {"GOLD"}; };
  class Classic { file = "EDITION.TXT"; crc = %d; distributions[] = {"CLASSIC"}; };
};

class UpdateRegistry {
  class Version {
    registryUser = 0;
    registryPath = "Software\Corvane Samples\Sample Game";
    registryName = "VERSION";
    registryValue = "1.02";
  };
  class GoldBonus {
    distributions[] = {"GOLD"};
    registryUser = 1;
    registryPath = "Software\Corvane Samples\Sample Game\Settings";
    registryName = "BonusMaps";
    registryValue = "enabled";
  };
};
)",
                static_cast<int>(gold_crc), static_cast<int>(classic_crc));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvane_sample_game DIR [--crc-lists]\n");
    return 2;
  }
  std::string dir = argv[1];
  bool lists = argc > 2 && std::strcmp(argv[2], "--crc-lists") == 0;

  Bytes gold = EditionMarker("Gold");
  Bytes classic = EditionMarker("Classic");
  for (int minor = 0; minor <= 2; ++minor) {
    FileSet files = SampleGameFiles(minor, 4, 3);
    if (!WriteTree(dir + "/trees/" + VersionText(minor), files)) return 1;
  }

  // The installation: 1.00, Gold edition.
  ScratchInstall install(dir, ScratchInstall::kKeep);
  FileSet installed = SampleGameFiles(0, 4, 3);
  installed[kEditionFile] = gold;
  if (!InstallFiles(install, installed)) {
    std::fprintf(stderr, "cannot install the sample game below %s\n", dir.c_str());
    return 1;
  }

  // Whole files of the patch.
  std::string payload = dir + "/payload";
  FileSet whole;
  whole["ALL\\MAPS\\HARBOUR.MAP"] = ToBytes("harbour map, new in 1.02\r\n");
  whole["ALL\\README.TXT"] = ToBytes("Sample Game 1.02\r\nPatched by Corvane.\r\n");
  whole["ALL\\MAPS\\BONUS.MAP.#GOLD"] = ToBytes("bonus map of the Gold edition\r\n");
  whole["ADD\\TOOLS\\EDITOR.TXT"] = ToBytes("the level editor notes\r\n");
  if (!WriteTree(payload, whole)) return 1;

  if (!WriteFileBytes(dir + "/version.cfg.txt",
                      ToBytes(ManifestText(FileCrc(gold), FileCrc(classic))))) {
    return 1;
  }

  if (lists) {
    PayloadBuilder builder(dir + "/work");
    // The 1.02 list covers the whole files too (each is checked after copying).
    FileSet final_files = SampleGameFiles(2, 4, 3);
    final_files["README.TXT"] = whole["ALL\\README.TXT"];
    final_files["MAPS\\HARBOUR.MAP"] = whole["ALL\\MAPS\\HARBOUR.MAP"];
    final_files["MAPS\\BONUS.MAP.#GOLD"] = whole["ALL\\MAPS\\BONUS.MAP.#GOLD"];
    final_files["TOOLS\\EDITOR.TXT"] = whole["ADD\\TOOLS\\EDITOR.TXT"];
    FileSet first = SampleGameFiles(0, 4, 3);
    first[kEditionFile] = gold;
    builder.AddChecksumList("1.00", first, {kEditionFile});
    builder.AddChecksumList("1.01", SampleGameFiles(1, 4, 3));
    builder.AddChecksumList("1.02", final_files);
    if (!builder.WriteTree(payload)) return 1;
  }
  std::printf("%s\n", dir.c_str());
  return 0;
}
