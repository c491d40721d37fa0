// The maker in-process: manifest checks with their places, project layout
// faults, the payload a make produces (read back as `check` reads it), reuse
// of cached updates, and no output after a failure.

#include "maker/patch_maker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "engine/apply_patch.h"
#include "engine/patch_action.h"
#include "engine/writer/compact_update.h"
#include "engine/writer/create_patch.h"
#include "maker/file_digest.h"
#include "maker/install_check.h"
#include "maker/manifest_compile.h"
#include "maker/patch_project.h"
#include "maker/update_jobs.h"
#include "support/result_assertions.h"
#include "support/scratch_folder.h"
#include "version_block.h"

namespace corvane::maker {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The game executable of a version: FileVersion is what the patcher dates
// an installation by.
void WriteGame(const fs::path& path, const std::string& version) {
  const std::vector<uint8_t> image = e2e::BuildGameExecutable(version);
  Write(path, std::string(image.begin(), image.end()));
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* kManifest =
    "configApp = \"Software\\\\Test\";\n"
    "displayName = \"Test\";\n"
    "appName = \"GAME.EXE\";\n"
    "version = \"2.02\";\n"
    "isPatch = 1;\n"
    "class Distributions {\n"
    "  class GOLD { scope = 1; name = \"Gold\"; parent = \"\"; };\n"
    "};\n";

class MakerTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // A patch is made and signed on the maker's Linux machine: the Windows
    // build has no signing, and these projects' paths pass MAX_PATH.
    GTEST_SKIP() << "patch making runs in the native build";
#endif
    folder_ = std::make_unique<test_support::ScratchFolder>("maker");
    root_ = folder_->path();
    project_ = root_ / "project";
    Write(project_ / "version.cfg.txt", kManifest);
    Write(project_ / "signing-key.txt",
          std::string(CORVANE_SOURCE_DIR) + "/tests/keys/test.key.pem\n");
    std::string data(5000, 'x');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7919) >> 3);
    Write(project_ / "versions/2.00/DATA/A.DAT", data);
    Write(project_ / "versions/2.00/SAME.TXT", "same\n");
    Write(project_ / "versions/2.00/GONE.TXT", "gone in 2.01\n");
    data[100] = 'Q';
    Write(project_ / "versions/2.01/DATA/A.DAT", data);
    Write(project_ / "versions/2.01/SAME.TXT", "same\n");
    Write(project_ / "versions/2.01/NEW.TXT", "new in 2.01\n");
    data.insert(2000, "inserted");
    Write(project_ / "versions/2.02/DATA/A.DAT", data);
    Write(project_ / "versions/2.02/SAME.TXT", "same\n");
    Write(project_ / "versions/2.02/NEW.TXT", "new in 2.01\n");
    Write(project_ / "versions/2.02/LOGO.BMP.#GOLD", "gold logo\n");
    Write(project_ / "files/Add/EXTRA.TXT", "extra\n");
    for (const char* version : {"2.00", "2.01", "2.02"})
      WriteGame(project_ / "versions" / version / "GAME.EXE", version);
    // Any ELF file serves as the native program: the payload goes behind it.
    Write(root_ / "native-stub",
          "\x7f"
          "ELF, not really a program\n");
    options_.project = project_.string();
    options_.output = (root_ / "out" / "patch").string();
    options_.native_stub = (root_ / "native-stub").string();
    options_.messages = std::tmpfile();
    fs::create_directories(root_ / "out");
  }
  void TearDown() override {
    if (options_.messages != nullptr) std::fclose(options_.messages);
    options_.messages = nullptr;
    folder_.reset();
  }

  std::string CompileError(const std::string& text) {
    Write(project_ / "version.cfg.txt", text);
    CompiledManifest manifest;
    std::string error =
        FailureOf(CompileManifest((project_ / "version.cfg.txt").string(), &manifest));
    return error;
  }

  // DATA\A.DAT as the payload's 2.01 -> 2.02 update rebuilds it from 2.01's
  // file; empty when the update does not apply.
  std::string AppliedStepUpdate(const PatcherPayload& payload) const {
    const auto update = payload.items.at("2.01-2.02\\DATA\\A.DAT.UPD");
    const fs::path upd = root_ / "a.upd", rebuilt = root_ / "a.rebuilt";
    Write(upd, std::string(reinterpret_cast<const char*>(update.bytes), update.size));
    std::unique_ptr<IPatchAction> apply(NewApplyPatch());
    const int result =
        apply->Process(rebuilt.string().c_str(), upd.string().c_str(),
                       (project_ / "versions/2.01/DATA/A.DAT").string().c_str(), true);
    apply.reset();
    return result == kPatchDone ? Read(rebuilt) : std::string();
  }

  std::unique_ptr<test_support::ScratchFolder> folder_;
  fs::path root_, project_;
  MakeOptions options_;
};

TEST_F(MakerTest, ManifestFaultsNameFileAndLine) {
  const std::string file = (project_ / "version.cfg.txt").string();
  std::string base = kManifest;
  // A misspelt key: the patcher would read "version" as empty.
  std::string text = base;
  text.replace(text.find("version ="), 9, "verison =");
  std::string error = CompileError(text);
  EXPECT_NE(error.find(file + ", line 4: unknown key \"verison\""), std::string::npos) << error;
  // The version as a number instead of a text.
  text = base;
  text.replace(text.find("\"2.02\""), 6, "2.02");
  error = CompileError(text);
  EXPECT_NE(error.find(file + ", line 4: \"version\" must be a quoted version"), std::string::npos)
      << error;
  // A missing strict key in a distribution names the class's line.
  text = base;
  text.replace(text.find(" parent = \"\";"), 13, "");
  error = CompileError(text);
  EXPECT_NE(error.find(file + ", line 7: missing key \"parent\" in class Distributions/GOLD"),
            std::string::npos)
      << error;
  // A missing top-level key names the file.
  text = base;
  text.replace(text.find("isPatch = 1;"), 12, "");
  error = CompileError(text);
  EXPECT_NE(error.find(file + ": missing key \"isPatch\""), std::string::npos) << error;
  // A syntax error comes with the parser's line.
  error = CompileError("version = \"1.00\";\nclass X {\n  a = ;\n");
  EXPECT_NE(error.find("line"), std::string::npos) << error;
}

TEST_F(MakerTest, DefinitionLinesSkipLookalikes) {
  const std::string text =
      "versions = 1;\nclass A { version = \"1\"; };\n  version[] = {};\nclass AB {};\n";
  EXPECT_EQ(FindDefinitionLine(text, "version", false), 2);
  EXPECT_EQ(FindDefinitionLine(text, "version", false, 2), 3);
  EXPECT_EQ(FindDefinitionLine(text, "AB", true), 4);
  EXPECT_EQ(FindDefinitionLine(text, "missing", false), 0);
}

TEST_F(MakerTest, VersionFoldersMustRunWithoutGaps) {
  fs::rename(project_ / "versions/2.01", root_ / "elsewhere");
  PatchProject project;
  std::string error = FailureOf(LoadPatchProject(project_.string(), "", &project));
  EXPECT_NE(error.find((project_ / "versions" / "2.01").string() + ": missing version folder"),
            std::string::npos)
      << error;
  EXPECT_EQ(VersionNumberOfFolder("2.01"), 201);
  EXPECT_EQ(VersionNumberOfFolder("2.1"), -1);
  EXPECT_EQ(VersionNumberOfFolder("x.01"), -1);
}

TEST_F(MakerTest, PayloadHoldsUpdatesListsVariantsAndASignedManifest) {
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  ASSERT_EQ(summary.steps.size(), 2u);
  // DATA/A.DAT and GAME.EXE change in each step.
  EXPECT_EQ(summary.steps[0].updated, 2);
  EXPECT_EQ(summary.steps[0].added, 1);
  EXPECT_EQ(summary.steps[0].deleted, 1);
  EXPECT_EQ(summary.steps[0].unchanged, 1);
  EXPECT_EQ(summary.steps[1].updated, 2);
  EXPECT_EQ(summary.steps[1].unchanged, 1);
  EXPECT_EQ(summary.made, 4);
  EXPECT_FALSE(fs::exists(options_.output + ".part"));

  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  std::vector<std::string> names = payload.names;
  for (std::string& n : names) n = UpperAscii(n);
  const std::vector<std::string> expected = {"2.00-2.01\\DATA\\A.DAT.UPD",
                                             "2.00-2.01\\GAME.EXE.UPD",
                                             "2.00-2.01\\GONE.TXT.UPD",
                                             "2.01-2.02\\DATA\\A.DAT.UPD",
                                             "2.01-2.02\\GAME.EXE.UPD",
                                             "ADD\\EXTRA.TXT",
                                             "ALL\\LOGO.BMP.#GOLD",
                                             "ALL\\NEW.TXT",
                                             "CRC\\2.00\\CRC.CRC",
                                             "CRC\\2.01\\CRC.CRC",
                                             "CRC\\2.02\\CRC.CRC",
                                             "VERSION.CFG",
                                             "VERSION.CFG.SIGN"};
  EXPECT_EQ(names, expected);
  const auto deletion = payload.items.at("2.00-2.01\\GONE.TXT.UPD");
  ASSERT_EQ(deletion.size, 1u);
  EXPECT_EQ(deletion.bytes[0], 2);
  // The patcher updates only files that are there: a file new in 2.01 comes
  // whole, so an installation of 2.00 gets it too.
  EXPECT_EQ(payload.items.at("ALL\\NEW.TXT").size, 12u);
  const auto list = payload.items.at("CRC\\2.02\\CRC.CRC");
  const std::string text(reinterpret_cast<const char*>(list.bytes), list.size);
  EXPECT_NE(text.find("+LOGO.BMP "), std::string::npos) << text;  // only one edition has it
  EXPECT_NE(text.find("EXTRA.TXT "), std::string::npos) << text;
  EXPECT_EQ(payload.public_key.size(), 148u);

  // The game at 2.01: check tells the version by its list and the one step left.
  const fs::path game = root_ / "game";
  fs::copy(project_ / "versions/2.01", game, fs::copy_options::recursive);
  CheckReport report;
  ASSERT_TRUE(Succeeded(CheckInstallation(payload, game.string(), &report)));
  EXPECT_TRUE(report.signature_valid);
  EXPECT_EQ(report.installed, "2.01");
  EXPECT_TRUE(report.patchable);
  ASSERT_EQ(report.steps.size(), 1u);
  EXPECT_EQ(report.steps[0].first, "2.01-2.02");
  Write(game / "DATA/A.DAT", "spoilt");
  fs::remove(game / "GAME.EXE");
  CheckReport spoilt;
  ASSERT_TRUE(Succeeded(CheckInstallation(payload, game.string(), &spoilt)));
  EXPECT_TRUE(spoilt.installed.empty());  // no list matches, no executable
  EXPECT_FALSE(spoilt.patchable);
}

TEST_F(MakerTest, SecondMakeReusesAndAChangedFileIsMadeAgain) {
  MakeSummary first, second, third;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &first)));
  EXPECT_FALSE(first.up_to_date);
  const std::string made = Read(options_.output);
  options_.jobs = 1;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &second)));
  EXPECT_EQ(second.made, 0);
  EXPECT_EQ(second.reused, first.made);
  EXPECT_TRUE(second.up_to_date);
  EXPECT_EQ(second.payload_items, first.payload_items);
  EXPECT_EQ(second.payload_bytes, first.payload_bytes);
  EXPECT_EQ(Read(options_.output), made);
  // A new file newer than its cached update but of the same content: the
  // cache is keyed by content, so the update is reused (and proven again).
  fs::last_write_time(
      project_ / "versions/2.02/DATA/A.DAT",
      fs::last_write_time(project_ / "versions/2.02/DATA/A.DAT") + std::chrono::hours(1));
  ASSERT_TRUE(Succeeded(MakePatch(options_, &third)));
  EXPECT_EQ(third.made, 0);
  EXPECT_EQ(third.reused, first.made);
  EXPECT_EQ(Read(options_.output), made);
}

TEST_F(MakerTest, AStaleSameSizeFileWithAnOlderDateIsNoticed) {
  MakeSummary first, second;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &first)));
  // As unzip, "cp -p" or "rsync -t" leave a corrected file: same size, an
  // older date than the cached update made from the old content.
  const fs::path file = project_ / "versions/2.02/DATA/A.DAT";
  std::string corrected = Read(file);
  corrected[3000] = static_cast<char>(corrected[3000] ^ 0x55);
  const auto before = fs::last_write_time(file) - std::chrono::hours(24);
  Write(file, corrected);
  fs::last_write_time(file, before);
  ASSERT_TRUE(Succeeded(MakePatch(options_, &second)));
  EXPECT_EQ(second.made, 1);
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  const auto list = payload.items.at("CRC\\2.02\\CRC.CRC");
  const std::string text(reinterpret_cast<const char*>(list.bytes), list.size);
  uint32_t crc = 0;
  ASSERT_TRUE(FileCrc32(file.string(), &crc));
  char line[64];
  std::snprintf(line, sizeof line, "DATA\\A.DAT %08x\r\n", crc);
  EXPECT_NE(text.find(line), std::string::npos) << text;
  // The update in the payload rebuilds the corrected file from 2.01's.
  EXPECT_EQ(AppliedStepUpdate(payload), corrected);
}

TEST_F(MakerTest, AFileWithNothingToCopyTravelsWholeInItsUpdate) {
  // 2.02's A.DAT shares nothing with 2.01's: a difference would carry it all
  // in small inserts, each with its record, and end larger than the file.
  std::string unrelated(20000, '\0');
  uint32_t state = 12345;
  for (char& c : unrelated) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 24);
  }
  Write(project_ / "versions/2.02/DATA/A.DAT", unrelated);
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  ASSERT_EQ(summary.steps.size(), 2u);
  EXPECT_EQ(summary.steps[0].whole, 0);
  EXPECT_EQ(summary.steps[1].whole, 1);
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  EXPECT_EQ(payload.items.at("2.01-2.02\\DATA\\A.DAT.UPD").size, unrelated.size() + 25);
  EXPECT_EQ(AppliedStepUpdate(payload), unrelated);
  // A second make takes the cached update and still counts it.
  MakeSummary again;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &again)));
  EXPECT_EQ(again.steps[1].whole, 1);
}

// The payload's 2.01 -> 2.02 update of DATA\A.DAT beside what `writer` makes
// of the two files directly.
void ExpectStepUpdateMadeBy(const PatcherPayload& payload, IPatchAction* writer,
                            const fs::path& project, const fs::path& scratch) {
  const fs::path upd = scratch / "direct.upd";
  fs::remove(upd);
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(writer->Process((project / "versions/2.01/DATA/A.DAT").string().c_str(),
                            (project / "versions/2.02/DATA/A.DAT").string().c_str(),
                            upd.string().c_str(), true),
            kPatchDone);
  const auto item = payload.items.at("2.01-2.02\\DATA\\A.DAT.UPD");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(item.bytes), item.size), Read(upd));
}

TEST_F(MakerTest, TheUpdateWriterIsPartOfWhatTheCacheHolds) {
  // A.DAT of 2.02 is 2.01's with its halves swapped: the two writers differ.
  std::string data = Read(project_ / "versions/2.01/DATA/A.DAT");
  Write(project_ / "versions/2.02/DATA/A.DAT", data.substr(2500) + data.substr(0, 2500));
  MakeSummary compact, exact, exact_again, compact_again;
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &compact)));
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  std::unique_ptr<IPatchAction> compact_writer(NewCreateCompactPatch());
  ExpectStepUpdateMadeBy(payload, compact_writer.get(), project_, root_);
  EXPECT_EQ(AppliedStepUpdate(payload), Read(project_ / "versions/2.02/DATA/A.DAT"));

  // Asking for the other writer makes every update again, none is reused.
  options_.exact_updates = true;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &exact)));
  EXPECT_EQ(exact.made, compact.made);
  EXPECT_EQ(exact.reused, 0);
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  std::unique_ptr<IPatchAction> exact_writer(NewCreatePatch());
  ExpectStepUpdateMadeBy(payload, exact_writer.get(), project_, root_);
  EXPECT_EQ(AppliedStepUpdate(payload), Read(project_ / "versions/2.02/DATA/A.DAT"));
  ASSERT_TRUE(Succeeded(MakePatch(options_, &exact_again)));
  EXPECT_EQ(exact_again.made, 0);

  // And back.
  options_.exact_updates = false;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &compact_again)));
  EXPECT_EQ(compact_again.made, compact.made);
  EXPECT_EQ(compact_again.reused, 0);
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  ExpectStepUpdateMadeBy(payload, compact_writer.get(), project_, root_);
}

TEST_F(MakerTest, ADamagedCachedUpdateIsMadeAgainAndForceRemakesAll) {
  MakeSummary first, second, third;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &first)));
  const std::string made = Read(options_.output);
  // What a make killed while writing an update used to leave: the head of
  // the update intact, its end cut off.
  int damaged = 0;
  for (const auto& entry : fs::directory_iterator(project_ / ".cache/updates")) {
    if (entry.path().extension() != ".upd") continue;
    const std::string bytes = Read(entry.path());
    Write(entry.path(), bytes.substr(0, bytes.size() / 2));
    ++damaged;
  }
  ASSERT_EQ(damaged, first.made);
  ASSERT_TRUE(Succeeded(MakePatch(options_, &second)));
  EXPECT_EQ(second.made, first.made);
  EXPECT_EQ(second.reused, 0);
  EXPECT_EQ(Read(options_.output), made);
  // --force makes every update and the outputs again: the same bytes.
  options_.force = true;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &third)));
  EXPECT_EQ(third.made, first.made);
  EXPECT_FALSE(third.up_to_date);
  EXPECT_EQ(Read(options_.output), made);
}

// The engine's messages are no business of a make: its writers' progress
// lines stay off standard output (where --json output goes), and a cached
// update that fails its proof writes no patch log where the make was started.
TEST_F(MakerTest, AMakeSaysNothingOnStandardOutputAndKeepsNoPatchLog) {
  test_support::ScopedCurrentDirectory here(root_);
  MakeSummary first, second;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(Succeeded(MakePatch(options_, &first)));
  const std::string made = Read(options_.output);
  // Updates whose records still vouch for them, but that state a wrong old
  // size: applying one fails with the engine's "bad size" messages.
  int tampered = 0;
  for (const auto& entry : fs::directory_iterator(project_ / ".cache/updates")) {
    if (entry.path().extension() != ".upd") continue;
    std::string bytes = Read(entry.path());
    ASSERT_GE(bytes.size(), 9u);
    bytes[5] = static_cast<char>(bytes[5] ^ 0x40);
    Write(entry.path(), bytes);
    FileDigest digest;
    ASSERT_TRUE(DigestOfFile(entry.path().string(), &digest));
    const fs::path record = entry.path().string() + ".sum";
    const std::string header = Read(record).substr(0, Read(record).find('\n'));
    char line[64];
    std::snprintf(line, sizeof line, "%llu %08x %016llx",
                  static_cast<unsigned long long>(digest.size), digest.crc,
                  static_cast<unsigned long long>(digest.hash));
    Write(record, header + "\n" + line + "\n");
    ++tampered;
  }
  ASSERT_EQ(tampered, first.made);
  ASSERT_TRUE(Succeeded(MakePatch(options_, &second)));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(second.made, first.made);  // not one was taken
  EXPECT_EQ(Read(options_.output), made);
  EXPECT_FALSE(fs::exists(root_ / "patch.log"));
}

TEST_F(MakerTest, OutputsAreWrittenAgainWhenAnythingTheyComeFromChanged) {
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  const std::string made = Read(options_.output);
  auto make_again = [&] {
    MakeSummary again;
    EXPECT_TRUE(Succeeded(MakePatch(options_, &again)));
    return again.up_to_date;
  };
  EXPECT_TRUE(make_again());
  // The output spoilt by hand (same size): its time gives it away.
  Write(options_.output, std::string(made.size(), 'x'));
  EXPECT_FALSE(make_again());
  EXPECT_EQ(Read(options_.output), made);
  EXPECT_TRUE(make_again());
  // The output gone.
  fs::remove(options_.output);
  EXPECT_FALSE(make_again());
  EXPECT_EQ(Read(options_.output), made);
  // A new stub.
  Write(root_ / "native-stub",
        "\x7f"
        "ELF, another program\n");
  EXPECT_FALSE(make_again());
  EXPECT_NE(Read(options_.output), made);
  // A whole file with new content of the same size.
  Write(project_ / "files/Add/EXTRA.TXT", "EXTRA\n");
  fs::last_write_time(
      project_ / "files/Add/EXTRA.TXT",
      fs::last_write_time(project_ / "files/Add/EXTRA.TXT") + std::chrono::hours(1));
  EXPECT_FALSE(make_again());
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  const auto extra = payload.items.at("ADD\\EXTRA.TXT");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(extra.bytes), extra.size), "EXTRA\n");
  // A manifest edit that changes the compiled form.
  std::string manifest = kManifest;
  manifest.replace(manifest.find("\"Test\";"), 7, "\"Tost\";");
  Write(project_ / "version.cfg.txt", manifest);
  EXPECT_FALSE(make_again());
  EXPECT_TRUE(make_again());
}

TEST_F(MakerTest, FailuresLeaveNoOutput) {
  // An edition suffix the manifest does not define.
  Write(project_ / "versions/2.02/X.TXT.#SILVER", "silver\n");
  MakeSummary summary;
  std::string error = FailureOf(MakePatch(options_, &summary));
  EXPECT_NE(error.find("no distribution \"SILVER\""), std::string::npos) << error;
  fs::remove(project_ / "versions/2.02/X.TXT.#SILVER");
  // A name the patcher cannot hold.
  // (Each component stays within the file system's 255 bytes.)
  Write(project_ / "versions/2.02" / std::string(200, 'L') / std::string(200, 'M') /
            std::string(200, 'N'),
        "long\n");
  error = FailureOf(MakePatch(options_, &summary));
  EXPECT_NE(error.find("longer than 511"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_empty(root_ / "out"));
}

// What a make cannot ship is refused with the file and the reason, and
// before any update is made (no update folder in the cache, no output).
TEST_F(MakerTest, ReleaseContentsThatCannotWorkAreRefusedByNameBeforeAnyWork) {
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::string message;
  };
  const std::string manifest = kManifest;
  const Case cases[] = {
      {"appName missing in a version", [&] { fs::remove(project_ / "versions/2.01/GAME.EXE"); },
       "versions/2.01: no GAME.EXE (the manifest's appName)"},
      {"executable of another version",
       [&] { WriteGame(project_ / "versions/2.01/GAME.EXE", "2.00"); },
       "GAME.EXE: FileVersion \"2.00\" is not the version of its folder (2.01)"},
      {"executable without a version",
       [&] { Write(project_ / "versions/2.02/GAME.EXE", "no PE\n"); },
       "GAME.EXE: the game executable (appName) has no FileVersion"},
      {"name outside code page 1252",
       [&] {
         Write(project_ / "versions/2.02/\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf.txt", "data\n");
       },
       "the name holds \"\xe3\x83\x87\", which code page 1252"},
      {"unsafe name", [&] { Write(project_ / "versions/2.02/DATA/CON.TXT", "device\n"); },
       "device name"},
      {"link out of the project",
       [&] { fs::create_symlink("/etc/passwd", project_ / "versions/2.02/PASSWD"); },
       "PASSWD: a symbolic link to \"/etc/passwd\"; only links to files inside the project are "
       "read"},
      {"link to a folder",
       [&] {
         fs::create_directory_symlink(project_ / "versions/2.01", project_ / "versions/2.02/OLD");
       },
       "OLD: a symbolic link to"},
      {"manifest text outside code page 1252",
       [&] {
         std::string text = manifest;
         text.replace(text.find("\"Test\""), 6, "\"\xe3\x83\x86\"");
         Write(project_ / "version.cfg.txt", text);
       },
       "line 2: the text of \"displayName\" holds \"\xe3\x83\x86\""},
      {"changed file of 2 GiB",
       [&] {
         for (const char* v : {"2.00", "2.01", "2.02"}) {
           Write(project_ / "versions" / v / "BIG.DAT", "");
           fs::resize_file(project_ / "versions" / v / "BIG.DAT",
                           (1ull << 31) + (v[3] == '2' ? 1 : 0));
         }
       },
       "BIG.DAT: changes between 2.01 and 2.02 and is 2 GiB or larger; the update format holds "
       "files of up to "
       "2,147,483,647 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.spoil();
    MakeSummary summary;
    std::string error = FailureOf(MakePatch(options_, &summary));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(project_ / ".cache/updates"));
    EXPECT_TRUE(fs::is_empty(root_ / "out"));
  }
}

TEST_F(MakerTest, ArgumentsAreCheckedBeforeAnyWork) {
  MakeSummary summary;
  std::string error;
  // A win32 stub that is the native program, a native stub that is a PE.
  options_.win32_stub = options_.native_stub;
  error = FailureOf(MakePatch(options_, &summary));
  EXPECT_NE(error.find("native-stub: not a win32 patcher stub (an ELF program"), std::string::npos)
      << error;
  options_.win32_stub.clear();
  WriteGame(root_ / "pe-stub", "1.00");
  options_.native_stub = (root_ / "pe-stub").string();
  error = FailureOf(MakePatch(options_, &summary));
  EXPECT_NE(error.find("pe-stub: not a native patcher (a PE image"), std::string::npos) << error;
  options_.native_stub = (root_ / "native-stub").string();
  // An output folder that is a file.
  Write(root_ / "a-file", "x");
  options_.output = (root_ / "a-file" / "patch").string();
  error = FailureOf(MakePatch(options_, &summary));
  EXPECT_NE(error.find("a-file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(project_ / ".cache"));
  // A missing output folder is made.
  options_.output = (root_ / "new" / "deeper" / "patch").string();
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  EXPECT_TRUE(fs::is_regular_file(options_.output));
  EXPECT_FALSE(fs::exists(options_.output + ".probe"));
  // The repository's test key is used here: said loudly.
  std::rewind(options_.messages);
  std::string said(4096, '\0');
  said.resize(std::fread(said.data(), 1, said.size(), options_.messages));
  EXPECT_NE(said.find("WARNING: " + std::string(CORVANE_SOURCE_DIR) +
                      "/tests/keys/test.key.pem is the repository's TEST key"),
            std::string::npos)
      << said;
}

TEST_F(MakerTest, ALinkToAFileInsideTheProjectIsReadAsThatFile) {
  fs::create_symlink("../2.01/NEW.TXT", project_ / "versions/2.02/LINKED.TXT");
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  const auto linked = payload.items.at("ALL\\LINKED.TXT");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(linked.bytes), linked.size), "new in 2.01\n");
}

TEST_F(MakerTest, EmptyFilesTravelWholeAndTheirLinesAreOptional) {
  for (const char* v : {"2.00", "2.01", "2.02"}) Write(project_ / "versions" / v / "EMPTY.LST", "");
  Write(project_ / "versions/2.00/FILLED.TXT", "");
  Write(project_ / "versions/2.01/FILLED.TXT", "filled in 2.01\n");
  Write(project_ / "versions/2.02/FILLED.TXT", "filled in 2.01\n");
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  // An update cannot start from an empty file: it comes whole.
  EXPECT_EQ(payload.items.count("2.00-2.01\\FILLED.TXT.UPD"), 0u);
  ASSERT_EQ(payload.items.count("ALL\\FILLED.TXT"), 1u);
  EXPECT_EQ(payload.items.count("2.00-2.01\\EMPTY.LST.UPD"), 0u);
  const auto list = payload.items.at("CRC\\2.00\\CRC.CRC");
  const std::string text(reinterpret_cast<const char*>(list.bytes), list.size);
  EXPECT_NE(text.find("+EMPTY.LST 00000000\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("+FILLED.TXT 00000000\r\n"), std::string::npos) << text;
  // An installation of 2.00 holding its empty files is told 2.00, patchable.
  const fs::path game = root_ / "game";
  fs::copy(project_ / "versions/2.00", game, fs::copy_options::recursive);
  CheckReport report;
  ASSERT_TRUE(Succeeded(CheckInstallation(payload, game.string(), &report)));
  EXPECT_EQ(report.installed, "2.00");
  EXPECT_TRUE(report.patchable);
}

TEST_F(MakerTest, AccentedNamesAndTextsAreWrittenInCodePage1252) {
  // On disk (and in the manifest) in UTF-8: DATA/ÉPÉE.DAT, Müll.txt, "Épée".
  const std::string epee =
      "DATA/\xc3\x89P\xc3\x89"
      "E.DAT";
  Write(project_ / "versions/2.00" / epee, "sword 1\n");
  Write(project_ / "versions/2.01" / epee, "sword 1\n");
  Write(project_ / "versions/2.02" / epee, "sword 2, longer\n");
  Write(project_ / "files/All/M\xc3\xbcll.txt", "rubbish\n");
  std::string manifest = kManifest;
  manifest.replace(manifest.find("\"Test\""), 6,
                   "\"\xc3\x89p\xc3\xa9"
                   "e\"");
  Write(project_ / "version.cfg.txt", manifest);
  MakeSummary summary;
  ASSERT_TRUE(Succeeded(MakePatch(options_, &summary)));
  PatcherPayload payload;
  ASSERT_TRUE(Succeeded(ReadPatcherPayload(options_.output, &payload)));
  // Stored names: code page 1252, upper case by the resource writer's rule.
  EXPECT_EQ(payload.items.count("2.01-2.02\\DATA\\\xc9P\xc9"
                                "E.DAT.UPD"),
            1u);
  EXPECT_EQ(payload.items.count("ALL\\M\xdcLL.TXT"), 1u);
  const auto list = payload.items.at("CRC\\2.02\\CRC.CRC");
  const std::string text(reinterpret_cast<const char*>(list.bytes), list.size);
  EXPECT_NE(text.find("DATA\\\xc9P\xc9"
                      "E.DAT "),
            std::string::npos)
      << text;
  // The whole file's line names it as the patcher writes it.
  EXPECT_NE(text.find("\nM\xdcLL.TXT "), std::string::npos) << text;
  const auto cfg = payload.items.at("VERSION.CFG");
  const std::string binary(reinterpret_cast<const char*>(cfg.bytes), cfg.size);
  EXPECT_NE(binary.find(std::string("\xc9p\xe9"
                                    "e") +
                        '\0'),
            std::string::npos);
  EXPECT_EQ(binary.find("\xc3\x89"), std::string::npos);
}

TEST(PayloadLimits, NamesAndPathsFitTheBuffers) {
  EXPECT_EQ(CheckPayloadLimits(std::string(511, 'n'), "n"), "");
  EXPECT_NE(CheckPayloadLimits(std::string(512, 'n'), "n"), "");
  EXPECT_EQ(CheckPayloadLimits("x", std::string(1023 - 259 - 4, 'p')), "");
  EXPECT_NE(CheckPayloadLimits("x", std::string(1023 - 259 - 3, 'p')), "");
  std::string win32, native;
  OutputPaths("dir/patch.EXE", &win32, &native);
  EXPECT_EQ(win32, "dir/patch.EXE");
  EXPECT_EQ(native, "dir/patch");
  OutputPaths("patch", &win32, &native);
  EXPECT_EQ(win32, "patch.exe");
  EXPECT_EQ(native, "patch");
}

}  // namespace
}  // namespace corvane::maker
