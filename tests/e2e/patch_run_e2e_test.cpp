// Whole runs of the native patcher against a scratch installation, one per
// way a run can end, with the exact text the player sees and the exit code.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "patcher_process.h"
#include "payload_builder.h"
#include "platform/signing_key.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "scratch_patch_test.h"
#include "version_block.h"

namespace corvane::e2e {
namespace {

class PatchRunE2E : public ScratchPatchTest {
 protected:
  // Installs version 1.<minor> of the sample game.
  void InstallVersion(int minor) { ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(minor))); }

  void MakePatch(int from, int to) {
    SamplePatchOptions options;
    options.from_minor = from;
    options.to_minor = to;
    MakeSamplePatch(builder_.get(), options);
  }

  PatcherRun Run(const std::string& input = "", bool terminal = false, bool seal = true) {
    if (seal) {
      EXPECT_TRUE(builder_->Seal());
    }
    return RunPayload(input, terminal);
  }

  std::string PatchLog() const {
    Bytes bytes;
    ReadFileBytes(install_->root() + "/patch.log", &bytes);
    return std::string(bytes.begin(), bytes.end());
  }

  // Flips the bits `mask` of byte `at` of the installed `name`.
  void FlipInstalledByte(const char* name, size_t at, uint8_t mask) {
    Bytes bytes;
    ASSERT_TRUE(install_->ReadGameFile(name, &bytes));
    bytes[at] ^= mask;
    ASSERT_TRUE(install_->WriteGameFile(name, bytes));
  }

  // The installed `name` is that of version 1.<minor>.
  void ExpectFileOfVersion(const char* name, int minor) {
    Bytes bytes;
    ASSERT_TRUE(install_->ReadGameFile(name, &bytes));
    EXPECT_TRUE(bytes == SampleGameFiles(minor)[name]) << name << " is not that of 1." << minor;
  }

  // The installation equals version 1.<minor> plus `extra`.
  void ExpectInstalled(int minor, const FileSet& extra = {}) {
    std::map<std::string, Bytes> expected;
    for (const auto& [name, bytes] : SampleGameFiles(minor)) expected[Slashes(name)] = bytes;
    for (const auto& [name, bytes] : extra) expected[Slashes(name)] = bytes;
    std::map<std::string, Bytes> actual = install_->Snapshot();
    EXPECT_EQ(actual.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
      auto it = actual.find(name);
      ASSERT_NE(it, actual.end()) << name << " missing";
      EXPECT_TRUE(it->second == bytes) << name << " differs";
    }
  }
};

#define EXPECT_OUTPUT_HAS(run, text) \
  EXPECT_NE((run).output.find(text), std::string::npos) << "output:\n" << (run).output

// --- success ---

TEST_F(PatchRunE2E, TwoStepPatchBringsTheGameToItsVersion) {
  InstallVersion(0);
  MakePatch(0, 2);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_OUTPUT_HAS(run, "Sample Game: Updating version 1.00 to version 1.02...");
  EXPECT_OUTPUT_HAS(run, "Verifying Sample Game, version 1.00...");
  EXPECT_OUTPUT_HAS(run, "Sample Game patch 1.02 has been applied successfully.");
  // The summary follows on its own line, with the run's figures.
  EXPECT_OUTPUT_HAS(run, "successfully.\nDone: 1.00 -> 1.02 in ");
  EXPECT_TRUE(std::regex_search(
      run.output, std::regex("; [1-9][0-9]* files updated, [0-9]+ copied, [1-9][0-9]* checked\\.")))
      << run.output;
  ExpectInstalled(2);
  // No temporary or extracted update file stays behind.
  for (const auto& [name, bytes] : install_->Snapshot()) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    EXPECT_EQ(name.find(".upd"), std::string::npos) << name;
  }
}

TEST_F(PatchRunE2E, ThreeStepsFromOneHundredToOneHundredThree) {
  InstallVersion(0);
  MakePatch(0, 3);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_OUTPUT_HAS(run, "Sample Game patch 1.03 has been applied successfully.");
  ExpectInstalled(3);
}

TEST_F(PatchRunE2E, PatchLogHasALineOnlyForTheDamagedUpdate) {
  InstallVersion(0);
  MakePatch(0, 1);
  PatcherRun clean = Run();
  ASSERT_EQ(clean.exit_code, 0) << clean.output;
  EXPECT_EQ(PatchLog(), "");

  TearDown();
  SetUp();
  InstallVersion(0);
  MakePatch(0, 1);
  Bytes& update = builder_->Get("1.00-1.01\\DATA\\LEVELS.DAT.upd");
  update[update.size() - 1] ^= 0x55;  // an inserted byte: the new file's sum differs
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  std::string log = PatchLog();
  EXPECT_NE(log.find("LEVELS.DAT.tmp: bad checksum: "), std::string::npos) << log;
  EXPECT_NE(log.find(")\r\n"), std::string::npos) << log;
}

TEST_F(PatchRunE2E, AlreadyAtVersionRecopiesAndVerifiesAgainstThePatchList) {
  InstallVersion(2);
  MakePatch(0, 2);
  builder_->Add("All\\DATA\\NEW.DAT", ToBytes("new data"));
  FileSet final_files = SampleGameFiles(2);
  final_files["DATA\\NEW.DAT"] = ToBytes("new data");
  builder_->AddChecksumList("1.02", final_files);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output.find("Verifying Sample Game, version 1.00"), std::string::npos);
  EXPECT_OUTPUT_HAS(run, "Verifying Sample Game, version 1.02...");
  EXPECT_OUTPUT_HAS(run, "Sample Game patch 1.02 has been applied successfully.");
  ExpectInstalled(2, {{"DATA\\NEW.DAT", ToBytes("new data")}});
}

TEST_F(PatchRunE2E, WholeFilesOfInstalledVersionAllAndAddAreCopied) {
  InstallVersion(0);
  MakePatch(0, 1);
  builder_->Add("1.00\\MAPS\\OLDFIX.MAP", ToBytes("fix for 1.00"));
  builder_->Add("1.01\\MAPS\\NOT-FOR-US.MAP", ToBytes("only for 1.01 installs"));
  builder_->Add("All\\MAPS\\ALL.MAP", ToBytes("every patch"));
  builder_->Add("Add\\MAPS\\ADD.MAP", ToBytes("every run"));
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ExpectInstalled(1, {{"MAPS\\OLDFIX.MAP", ToBytes("fix for 1.00")},
                      {"MAPS\\ALL.MAP", ToBytes("every patch")},
                      {"MAPS\\ADD.MAP", ToBytes("every run")}});
}

TEST_F(PatchRunE2E, AddonRunCopiesOnlyInstalledVersionAndAddFiles) {
  InstallVersion(1);
  builder_->SetHeader(kSampleKey, kSampleExe, "1.00", false);
  builder_->manifest().AddText("name", "Red Valley");
  builder_->manifest().AddText("requiredForAddons", "1.01");
  builder_->Add("Add\\ADDONS\\VALLEY.PBO", ToBytes("valley"));
  builder_->Add("1.01\\ADDONS\\VALLEY.CFG", ToBytes("cfg"));
  builder_->Add("All\\ADDONS\\NEVER.PBO", ToBytes("patch runs only"));
  // A broken installation is not looked at by an add-on run.
  builder_->AddChecksumList("1.01", {{"README.TXT", ToBytes("something else")}});
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_OUTPUT_HAS(run, "Sample Game: Installing addon Red Valley.");
  EXPECT_OUTPUT_HAS(run, "Sample Game addon installed: Red Valley.");
  EXPECT_EQ(run.output.find("Verifying"), std::string::npos);
  ExpectInstalled(
      1, {{"ADDONS\\VALLEY.PBO", ToBytes("valley")}, {"ADDONS\\VALLEY.CFG", ToBytes("cfg")}});
}

// --- the fixed texts of a damaged payload ---

TEST_F(PatchRunE2E, MissingManifestIsErrorOne) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  builder_->Remove("version.cfg");
  PatcherRun run = Run("", false, false);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 1.");
  ExpectInstalled(0);
}

TEST_F(PatchRunE2E, MissingSignatureIsErrorTwo) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  builder_->Remove("version.cfg.sign");
  PatcherRun run = Run("", false, false);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 2.");
}

TEST_F(PatchRunE2E, ChangedManifestFailsTheSignature) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  builder_->Get("version.cfg").back() ^= 0x01;
  PatcherRun run = Run("", false, false);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 7/0.");
  ExpectInstalled(0);
}

TEST_F(PatchRunE2E, ShortSignatureFailsTheSignature) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  builder_->Get("version.cfg.sign").pop_back();
  PatcherRun run = Run("", false, false);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 7/0.");
}

// --- finding the game (kMsgNotInstalled) ---

constexpr const char* kNotInstalled =
    "Sample Game is not installed on your computer or installation is corrupted.";

TEST_F(PatchRunE2E, GameNotRegistered) {
  MakePatch(0, 1);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, kNotInstalled);
  // The player is told where the game was looked for.
  EXPECT_OUTPUT_HAS(run, std::string("HKEY_LOCAL_MACHINE\\") + kSampleKey);
  EXPECT_OUTPUT_HAS(run, install_->prefix() + "/system.reg");
}

TEST_F(PatchRunE2E, GameExecutableMissing) {
  InstallVersion(0);
  std::remove(install_->GamePath(kSampleExe).c_str());
  MakePatch(0, 1);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, kNotInstalled);
  EXPECT_OUTPUT_HAS(run, kSampleExe);
}

TEST_F(PatchRunE2E, ExecutableWithOnlyAnotherLanguageBlockHasNoVersion) {
  InstallVersion(0);
  ASSERT_TRUE(install_->WriteGameFile(kSampleExe, BuildGameExecutable("1.00", "040704b0")));
  MakePatch(0, 1);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, kNotInstalled);
}

TEST_F(PatchRunE2E, InstallationDirectoryLongerThanAnyFolderIsRefused) {
  InstallVersion(0);
  std::string main = install_->game_dir_windows() + "\\" + std::string(260, 'x');
  ASSERT_TRUE(install_->Register(kSampleKey, &main));
  MakePatch(0, 1);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, kNotInstalled);
}

TEST_F(PatchRunE2E, DirectoryWithoutFinalBackslashGetsOne) {
  InstallVersion(0);
  std::string main = install_->game_dir_windows();  // no final backslash
  ASSERT_TRUE(install_->Register(kSampleKey, &main));
  MakePatch(0, 1);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ExpectInstalled(1);
}

TEST_F(PatchRunE2E, FileVersionLongerThanItsFieldIsCut) {
  InstallVersion(0);
  std::string long_version = "1.00." + std::string(300, '7');
  ASSERT_TRUE(install_->WriteGameFile(kSampleExe, BuildGameExecutable(long_version)));
  builder_->SetHeader(kSampleKey, kSampleExe, "1.01", true);
  FileSet files = SampleGameFiles(0);
  files[kSampleExe] = BuildGameExecutable(long_version);
  builder_->AddChecksumList("1.00", files);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  // The installed version text holds 255 characters.
  std::string shown = long_version.substr(0, 255);
  EXPECT_OUTPUT_HAS(run, "Updating version " + shown + " to version 1.01...");
  EXPECT_EQ(run.output.find(shown + "7"), std::string::npos);
}

// --- the version gate ---

TEST_F(PatchRunE2E, RequiredForPatchRefusesAnOlderInstallation) {
  InstallVersion(0);
  MakePatch(0, 2);
  builder_->manifest().AddText("requiredForPatch", "1.01");
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Game version 1.01 required.");
  EXPECT_OUTPUT_HAS(run, "Your current version is 1.00.");
  ExpectInstalled(0);
}

TEST_F(PatchRunE2E, RequiredForAddonsRefusesAnOlderInstallation) {
  InstallVersion(1);
  builder_->SetHeader(kSampleKey, kSampleExe, "1.00", false);
  builder_->manifest().AddText("name", "Red Valley");
  builder_->manifest().AddText("requiredForAddons", "1.02");
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Game version 1.02 required.");
  EXPECT_OUTPUT_HAS(run, "Your current version is 1.01.");
}

TEST_F(PatchRunE2E, NewerInstallationIsRefused) {
  InstallVersion(3);
  MakePatch(0, 2);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "The version of Sample Game (1.03) ");
  EXPECT_OUTPUT_HAS(run, "is more recent than this patch version (1.02).");
  ExpectInstalled(3);
}

// --- verification before patching ---

TEST_F(PatchRunE2E, ModifiedInstallationIsNotPatched) {
  InstallVersion(0);
  ASSERT_NO_FATAL_FAILURE(FlipInstalledByte("DATA\\SOUND.DAT", 10, 0xFF));
  MakePatch(0, 2);
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Error found in file DATA\\SOUND.DAT");
  EXPECT_OUTPUT_HAS(run, "One or more files in game instalation are modified or dammaged.");
  ExpectFileOfVersion("DATA\\LEVELS.DAT", 0);
}

// --- failures inside the passes (kMsgPatchError and its pass number) ---

TEST_F(PatchRunE2E, DamagedUpdateFailsPhaseOne) {
  InstallVersion(0);
  MakePatch(0, 2);
  Bytes& update = builder_->Get("1.01-1.02\\DATA\\LEVELS.DAT.upd");
  update[update.size() / 2] ^= 0x55;
  update[update.size() - 1] ^= 0x55;
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Some error occurred during patch installation.");
  EXPECT_OUTPUT_HAS(run, "Error in file DATA\\LEVELS.DAT, phase 1.");
  // The first step went through; the damaged file stays at 1.01, whole.
  ExpectFileOfVersion("DATA\\LEVELS.DAT", 1);
}

TEST_F(PatchRunE2E, WholeFileFailingVerificationNamesItsPhase) {
  struct Case {
    const char* name;
    const char* target;
    int phase;
  };
  for (const Case& c :
       {Case{"1.00\\MAPS\\A.MAP", "MAPS\\A.MAP", 2}, Case{"All\\MAPS\\B.MAP", "MAPS\\B.MAP", 3},
        Case{"Add\\MAPS\\C.MAP", "MAPS\\C.MAP", 4}}) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    InstallVersion(0);
    MakePatch(0, 1);
    builder_->Add(c.name, ToBytes("the content"));
    FileSet list = SampleGameFiles(1);
    list[c.target] = ToBytes("another content");
    builder_->AddChecksumList("1.01", list);
    PatcherRun run = Run();
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_OUTPUT_HAS(
        run, std::string("Error in file ") + c.target + ", phase " + std::to_string(c.phase) + ".");
  }
}

TEST_F(PatchRunE2E, FinalVerificationFailureIsPhaseTen) {
  InstallVersion(2);
  MakePatch(0, 2);
  ASSERT_NO_FATAL_FAILURE(FlipInstalledByte("DATA\\SOUND.DAT", 0, 1));
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Error in file 1.02, phase 10.");
}

TEST_F(PatchRunE2E, FullDiskNamesTheDrive) {
  InstallVersion(0);
  MakePatch(0, 1);
  // A sparse installed file far larger than any disk, not listed in the
  // checksum list (so verification does not read it), with an update.
  std::string huge = install_->GamePath("DATA\\HUGE.DAT");
  {
    FILE* file = std::fopen(huge.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file, (1L << 40) - 1, SEEK_SET), 0);  // 1 TiB
    std::fputc(0, file);
    std::fclose(file);
  }
  builder_->Add("1.00-1.01\\DATA\\HUGE.DAT.upd", Bytes{2});
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch cannot continue. The disk C: is almost full.");
  // The free-space pass comes before any change.
  ExpectFileOfVersion("DATA\\LEVELS.DAT", 0);
  std::remove(huge.c_str());
}

// --- answering the questions of a damaged update on a terminal ---

class DamagedUpdateE2E : public PatchRunE2E {
 protected:
  void SetUp() override {
    PatchRunE2E::SetUp();
    InstallVersion(0);
    MakePatch(0, 1);
    Bytes& update = builder_->Get("1.00-1.01\\DATA\\LEVELS.DAT.upd");
    update[update.size() - 1] ^= 0x55;
  }

  static int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
      ++count;
    return count;
  }

  void ExpectLevelsUntouched() {
    ExpectFileOfVersion("DATA\\LEVELS.DAT", 0);
    for (const auto& [name, bytes] : install_->Snapshot()) {
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
      EXPECT_EQ(name.find(".upd"), std::string::npos) << name;
    }
  }
};

constexpr const char* kQuestion = "Error found in file DATA\\LEVELS.DAT (00000000!=00000001)";

TEST_F(DamagedUpdateE2E, RetryAppliesAgainThenAbortEndsPhaseOne) {
  PatcherRun run = Run("r\nr\na\n\n", true);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(Count(run.output, kQuestion), 3) << run.output;
  EXPECT_OUTPUT_HAS(run, "Error in file DATA\\LEVELS.DAT, phase 1.");
  // Each retry is a fresh application: one log line per attempt.
  EXPECT_EQ(Count(PatchLog(), "bad checksum"), 3) << PatchLog();
  ExpectLevelsUntouched();
}

TEST_F(DamagedUpdateE2E, IgnoreWithoutNewContentKeepsTheInstalledFile) {
  PatcherRun run = Run("i\n\n", true);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(Count(run.output, kQuestion), 1) << run.output;
  EXPECT_OUTPUT_HAS(run, "Error in file DATA\\LEVELS.DAT, phase 1.");
  ExpectLevelsUntouched();
}

TEST_F(DamagedUpdateE2E, NobodyAtTheTerminalMeansAbort) {
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Abort (no terminal to answer)");
  EXPECT_OUTPUT_HAS(run, "Error in file DATA\\LEVELS.DAT, phase 1.");
  ExpectLevelsUntouched();
}

// --- where the payload comes from ---

TEST_F(PatchRunE2E, SelfContainedPatcherTakesItsOwnPayload) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  std::string program = install_->root() + "/selfpatch";
  ASSERT_TRUE(builder_->WriteSelfContained(PatcherProgram(), program));
  // (A named module that does not load is an error, never this payload:
  // payload_trust_e2e_test.cpp.)
  PatcherOptions options = RunOptions(program);
  PatcherRun run = RunPatcher(options);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ExpectInstalled(1);
}

TEST_F(PatchRunE2E, KeyCarriedByThePatcherReplacesTheBuiltInOne) {
  std::string maker_pem;
  Bytes maker_key;
  const Result generated = platform::GenerateSigningKey(&maker_pem, &maker_key);
  ASSERT_TRUE(generated.ok()) << generated.message();
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->SealWith(maker_pem));
  std::string program = install_->root() + "/makerpatch";
  PatcherOptions options = RunOptions(program);

  // Signed with the maker's key, but the patcher knows only the test key.
  ASSERT_TRUE(builder_->WriteSelfContained(PatcherProgram(), program));
  PatcherRun refused = RunPatcher(options);
  EXPECT_EQ(refused.signal, 0);
  EXPECT_FALSE(refused.timed_out);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_OUTPUT_HAS(refused, "Patch file is corrupted, error 7/0.");
  ExpectInstalled(0);

  builder_->SetPublicKey(maker_key);
  ASSERT_TRUE(builder_->WriteSelfContained(PatcherProgram(), program));
  PatcherRun accepted = RunPatcher(options);
  EXPECT_EQ(accepted.exit_code, 0) << accepted.output;
  ExpectInstalled(1);
}

TEST_F(PatchRunE2E, PayloadPathWithSpacesIsOneArgument) {
  InstallVersion(0);
  MakePatch(0, 1);
  ASSERT_TRUE(builder_->Seal());
  std::string dir = install_->root() + "/my patches";
  ASSERT_TRUE(builder_->WriteDll(dir + "/patch 1.01.dll"));
  PatcherOptions options = RunOptions(PatcherProgram());
  // Split as a shell splits an unquoted path: two payloads, which is no
  // command line to guess at.
  options.arguments = {install_->root() + "/my", "patches/patch", "1.01.dll"};
  PatcherRun split = RunPatcher(options);
  EXPECT_EQ(split.exit_code, 2) << split.output;
  EXPECT_OUTPUT_HAS(split, "more than one payload file");
  ExpectInstalled(0);
  options.arguments = {dir + "/patch 1.01.dll"};
  PatcherRun run = RunPatcher(options);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ExpectInstalled(1);
}

TEST_F(PatchRunE2E, NoNamedModuleAndNoOwnPayloadIsErrorOne) {
  InstallVersion(0);
  // The plain program carries no payload, and none is named.
  PatcherOptions options = RunOptions(PatcherProgram());
  PatcherRun run = RunPatcher(options);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 1.");
}

}  // namespace
}  // namespace corvane::e2e
