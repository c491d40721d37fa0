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
//   DIR/version.cfg         the manifest in binary form (unsigned): patch to
//                           1.02, two editions, detection by CRC, registry
//                           values
//
// With --updates the update files and checksum lists are written into
// DIR/payload as well (for a patchbuild that lacks diff and crc).

#include <cstdio>
#include <cstring>
#include <string>

#include "param/param_file.h"
#include "payload_builder.h"
#include "sample_game.h"
#include "stream/qo_stream.h"

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

void BuildManifest(ParamFile* manifest, uint32_t gold_crc, uint32_t classic_crc) {
  manifest->AddText("configApp", kSampleKey);
  manifest->AddText("displayName", "Sample Game");
  manifest->AddText("appName", kSampleExe);
  manifest->AddText("version", "1.02");
  manifest->AddInt("isPatch", 1);

  ParamClass* distributions = manifest->AddClass("Distributions");
  ParamClass* base = distributions->AddClass("BASE");
  base->AddInt("scope", 0);
  base->AddText("parent", "");
  ParamClass* classic = distributions->AddClass("CLASSIC");
  classic->AddInt("scope", 1);
  classic->AddText("name", "Sample Game Classic");
  classic->AddText("parent", "BASE");
  ParamClass* gold = distributions->AddClass("GOLD");
  gold->AddInt("scope", 1);
  gold->AddText("name", "Sample Game Gold Edition");
  gold->AddText("parent", "BASE");

  ParamClass* what = manifest->AddClass("WhatDistribution");
  ParamClass* is_gold = what->AddClass("Gold");
  is_gold->AddText("file", kEditionFile);
  is_gold->AddInt("crc", static_cast<int>(gold_crc));
  is_gold->AddArray("distributions")->AddItemText("GOLD");
  ParamClass* is_classic = what->AddClass("Classic");
  is_classic->AddText("file", kEditionFile);
  is_classic->AddInt("crc", static_cast<int>(classic_crc));
  is_classic->AddArray("distributions")->AddItemText("CLASSIC");

  ParamClass* registry = manifest->AddClass("UpdateRegistry");
  ParamClass* version = registry->AddClass("Version");
  version->AddInt("registryUser", 0);
  version->AddText("registryPath", kSampleKey);
  version->AddText("registryName", "VERSION");
  version->AddText("registryValue", "1.02");
  ParamClass* bonus = registry->AddClass("GoldBonus");
  bonus->AddArray("distributions")->AddItemText("GOLD");
  bonus->AddInt("registryUser", 1);
  bonus->AddText("registryPath", "Software\\Corvane Samples\\Sample Game\\Settings");
  bonus->AddText("registryName", "BonusMaps");
  bonus->AddText("registryValue", "enabled");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: corvane_sample_game DIR [--updates]\n");
    return 2;
  }
  std::string dir = argv[1];
  bool updates = argc > 2 && std::strcmp(argv[2], "--updates") == 0;

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

  ParamFile manifest;
  BuildManifest(&manifest, FileCrc(gold), FileCrc(classic));
  QOStrStream out;
  if (!manifest.SaveBin(out)) return 1;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(out.str());
  if (!WriteFileBytes(dir + "/version.cfg", Bytes(data, data + out.GetLength()))) return 1;

  if (updates) {
    PayloadBuilder builder(dir + "/work");
    SamplePatchOptions options;
    options.scale = 4;
    options.extra_files = 3;
    MakeSamplePatch(&builder, options);
    // The 1.02 list covers the whole files too (each is checked after copying).
    FileSet final_files = SampleGameFiles(2, 4, 3);
    final_files["README.TXT"] = whole["ALL\\README.TXT"];
    final_files["MAPS\\HARBOUR.MAP"] = whole["ALL\\MAPS\\HARBOUR.MAP"];
    final_files["MAPS\\BONUS.MAP.#GOLD"] = whole["ALL\\MAPS\\BONUS.MAP.#GOLD"];
    final_files["TOOLS\\EDITOR.TXT"] = whole["ADD\\TOOLS\\EDITOR.TXT"];
    FileSet first = SampleGameFiles(0, 4, 3);
    first[kEditionFile] = gold;
    builder.AddChecksumList("1.00", first, {kEditionFile});
    builder.AddChecksumList("1.02", final_files);
    if (!builder.WriteTree(payload)) return 1;
  }
  std::printf("%s\n", dir.c_str());
  return 0;
}
