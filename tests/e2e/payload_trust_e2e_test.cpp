// Whole runs of the native patcher against payloads and installations that a
// trusted patcher must not be fooled by: names that lead outside the game, a
// payload that is not what its signed manifest lists, a second run on the
// same installation, a registry that cannot be written, and payload files
// named on the command line that do not load.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "param/param_class.h"
#include "param/param_file.h"
#include "patcher_process.h"
#include "payload_builder.h"
#include "platform/resource_module.h"
#include "run/patch_manifest.h"
#include "run/payload_inventory.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "scratch_patch_test.h"
#include "support/fake_prefix_server.h"
#include "version_block.h"

namespace corvane::e2e {
namespace {

namespace fs = std::filesystem;

#define EXPECT_OUTPUT_HAS(run, text) \
  EXPECT_NE((run).output.find(text), std::string::npos) << "output:\n" << (run).output

class PayloadTrustE2E : public ScratchPatchTest {
 protected:
  void SetUp() override {
    ScratchPatchTest::SetUp();
    ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
    SamplePatchOptions options;
    options.from_minor = 0;
    options.to_minor = 1;
    MakeSamplePatch(builder_.get(), options);
    builder_->Add("All\\DATA\\NEW.DAT", ToBytes("new in 1.01"));
  }

  // Runs the patcher on the payload as it is now (already sealed).
  // `debug_output`: where the run's log lines go ("-": the output).
  PatcherRun RunOn(const std::vector<std::string>& arguments,
                   const std::string& debug_output = "") {
    PatcherOptions options = RunOptions(PatcherProgram(), arguments);
    options.debug_output = debug_output;
    return RunPatcher(options);
  }
  PatcherRun Run() { return RunPayload("", false); }

  // Lists every item of the payload in its manifest, as the maker does, and
  // seals it.
  void SealWithList() { ASSERT_TRUE(builder_->SealListingItems()); }

  std::map<std::string, Bytes> Installed(int minor, bool with_new) const {
    std::map<std::string, Bytes> files;
    for (const auto& [name, bytes] : SampleGameFiles(minor)) files[Slashes(name)] = bytes;
    if (with_new) files["DATA/NEW.DAT"] = ToBytes("new in 1.01");
    return files;
  }
  void ExpectUntouched() {
    EXPECT_TRUE(install_->Snapshot() == Installed(0, false)) << "the installation changed";
  }
  void ExpectPatched() {
    EXPECT_TRUE(install_->Snapshot() == Installed(1, true)) << "not the 1.01 installation";
  }
};

// --- names that lead outside the installation ---

TEST_F(PayloadTrustE2E, RepackedTraversalNamesChangeNothingAnywhere) {
  const std::string victim = install_->root() + "/VICTIM.TXT";  // four levels above the game
  ASSERT_TRUE(WriteFileBytes(victim, ToBytes("victim")));
  ASSERT_TRUE(builder_->Seal());
  // Added after the signature was made: it covers only the manifest.
  builder_->Add("ALL\\..\\..\\..\\..\\EVIL.TXT", ToBytes("evil"));
  ASSERT_TRUE(builder_->AddUpdate("1.00", "1.01", "..\\..\\..\\..\\VICTIM.TXT", ToBytes("victim"),
                                  ToBytes("overwritten")));
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 8.");
  ExpectUntouched();
  Bytes bytes;
  ASSERT_TRUE(ReadFileBytes(victim, &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "victim");
  EXPECT_FALSE(fs::exists(install_->root() + "/EVIL.TXT"));
  std::string value;
  EXPECT_FALSE(install_->ReadValue(false, kSampleKey, "VERSION", &value));
}

TEST_F(PayloadTrustE2E, PackAndCheckRefuseNamesThePatcherRefuses) {
  const std::string tree = install_->root() + "/tree";
  ASSERT_TRUE(builder_->Seal());
  ASSERT_TRUE(builder_->WriteTree(tree));
  ASSERT_TRUE(WriteFileBytes(tree + "/ALL/CON.TXT", ToBytes("a device name")));
  PatcherOptions pack;
  pack.program = PatchbuildProgram();
  pack.arguments = {"pack", tree, install_->root() + "/packed.dll"};
  pack.working_directory = install_->root();
  PatcherRun packed = RunPatcher(pack);
  EXPECT_EQ(packed.exit_code, 1);
  EXPECT_OUTPUT_HAS(packed,
                    "ALL\\CON.TXT is refused: a folder or file name is a Windows device name");
  EXPECT_FALSE(fs::exists(install_->root() + "/packed.dll"));

  builder_->Add("ALL\\..\\..\\EVIL.TXT", ToBytes("evil"));
  ASSERT_TRUE(builder_->WriteDll(payload_));
  PatcherOptions check;
  check.program = PatchbuildProgram();
  check.arguments = {"check", payload_, install_->game_dir()};
  check.working_directory = install_->root();
  PatcherRun checked = RunPatcher(check);
  EXPECT_EQ(checked.exit_code, 1);
  EXPECT_OUTPUT_HAS(checked,
                    "ALL\\..\\..\\EVIL.TXT is refused: the name has a \".\" or \"..\" component");
}

// --- the payload is exactly what the signed manifest lists ---

TEST_F(PayloadTrustE2E, ListedPayloadRunsAndAnUnlistedOneStillDoes) {
  SealWithList();
  PatcherRun listed = Run();
  EXPECT_EQ(listed.exit_code, 0) << listed.output;
  ExpectPatched();

  // A manifest from before the list: the same patch, run as it always was.
  ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
  fs::remove(install_->GamePath("DATA\\NEW.DAT"));
  builder_->manifest().Delete(kPayloadItemsClass);
  ASSERT_TRUE(builder_->Seal());
  PatcherRun unlisted = Run();
  EXPECT_EQ(unlisted.exit_code, 0) << unlisted.output;
  ExpectPatched();
}

TEST_F(PayloadTrustE2E, OneFlippedByteInAnyItemIsRefusedBeforeAnythingChanges) {
  SealWithList();
  ASSERT_TRUE(builder_->WriteDll(payload_));
  Bytes image;
  ASSERT_TRUE(ReadFileBytes(payload_, &image));
  std::vector<std::pair<std::string, Bytes>> items;
  {
    platform::ResourceModule module;
    ASSERT_TRUE(module.OpenFile(payload_.c_str()));
    module.EnumerateRawDataNames([&](const char* name) {
      uint32_t size = 0;
      const uint8_t* bytes = module.FindRawData(name, &size);
      if (!IsPayloadManifestName(name) && size > 0)
        items.emplace_back(name, Bytes(bytes, bytes + size));
      return true;
    });
  }
  ASSERT_GE(items.size(), 5u);
  for (const auto& [name, bytes] : items) {
    SCOPED_TRACE(name);
    // The item's bytes inside the image, one bit of them flipped.
    auto at = std::search(image.begin(), image.end(), bytes.begin(), bytes.end());
    ASSERT_NE(at, image.end());
    Bytes damaged = image;
    damaged[static_cast<size_t>(at - image.begin()) + bytes.size() / 2] ^= 0x01;
    ASSERT_TRUE(WriteFileBytes(payload_, damaged));
    PatcherRun run = RunOn({payload_});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 9.");
    ExpectUntouched();
  }
  ASSERT_TRUE(WriteFileBytes(payload_, image));
  PatcherRun sound = RunOn({payload_});
  EXPECT_EQ(sound.exit_code, 0) << sound.output;
  ExpectPatched();
}

// The digests are made beside the search for the game: a damaged payload is
// still what the player is told, not a fault it may have caused or that
// happened meanwhile (here: no game registered at all).
TEST_F(PayloadTrustE2E, ADamagedPayloadIsToldBeforeAnyOtherFault) {
  SealWithList();
  builder_->Get("All\\DATA\\NEW.DAT")[0] ^= 0x01;  // same size, other bytes
  ASSERT_TRUE(builder_->WriteDll(payload_));
  ScratchInstall no_game("payload-trust-no-game");
  PatcherOptions options;
  options.program = PatcherProgram();
  options.arguments = {payload_};
  options.wine_prefix = no_game.prefix();
  options.working_directory = no_game.root();
  PatcherRun run = RunPatcher(options);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_OUTPUT_HAS(run, "Patch file is corrupted, error 9.");
  EXPECT_EQ(run.output.find("not installed"), std::string::npos) << run.output;
}

// While the digests are made, the whole files are written ahead to their
// work files, folders made for them; a payload refused afterwards leaves none
// of it behind. The same payload, sound, installs them.
TEST_F(PayloadTrustE2E, WholeFilesWrittenAheadLeaveNothingWhenThePayloadIsRefused) {
  builder_->Add("All\\MAPS\\COAST\\BAY.MAP", ToBytes("a map in folders 1.00 lacks"));
  SealWithList();
  const Bytes sound_whole = builder_->Get("All\\DATA\\NEW.DAT");
  builder_->Get("All\\DATA\\NEW.DAT")[0] ^= 0x01;
  ASSERT_TRUE(builder_->WriteDll(payload_));
  PatcherRun refused = RunOn({payload_}, "-");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_OUTPUT_HAS(refused, "Patch file is corrupted, error 9.");
  ExpectUntouched();
  EXPECT_FALSE(fs::exists(install_->GamePath("MAPS"))) << "a folder made ahead was left";
  EXPECT_OUTPUT_HAS(refused, "Wrote 2 whole files ahead");

  builder_->Get("All\\DATA\\NEW.DAT") = sound_whole;
  PatcherRun sound = Run();
  EXPECT_EQ(sound.exit_code, 0) << sound.output;
  std::map<std::string, Bytes> expected = Installed(1, true);
  expected["MAPS/COAST/BAY.MAP"] = ToBytes("a map in folders 1.00 lacks");
  EXPECT_TRUE(install_->Snapshot() == expected);
}

TEST_F(PayloadTrustE2E, MissingExtraAndResizedItemsAreRefused) {
  SealWithList();
  const Bytes whole = builder_->Get("All\\DATA\\NEW.DAT");

  builder_->Remove("All\\DATA\\NEW.DAT");
  PatcherRun missing = Run();
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_OUTPUT_HAS(missing, "Patch file is corrupted, error 9.");
  ExpectUntouched();

  builder_->Add("All\\DATA\\NEW.DAT", whole);
  builder_->Add("All\\DATA\\EXTRA.DAT", ToBytes("not listed"));
  PatcherRun extra = Run();
  EXPECT_EQ(extra.exit_code, 1);
  EXPECT_OUTPUT_HAS(extra, "Patch file is corrupted, error 9.");
  ExpectUntouched();

  builder_->Remove("All\\DATA\\EXTRA.DAT");
  builder_->Get("All\\DATA\\NEW.DAT").push_back('!');
  PatcherRun resized = Run();
  EXPECT_EQ(resized.exit_code, 1);
  EXPECT_OUTPUT_HAS(resized, "Patch file is corrupted, error 9.");
  ExpectUntouched();
}

TEST_F(PayloadTrustE2E, SignWithThePayloadFolderListsWhatPackPacks) {
  const std::string tree = install_->root() + "/tree";
  ASSERT_TRUE(builder_->Seal());  // an unlisted manifest, signed
  ASSERT_TRUE(builder_->WriteTree(tree));
  PatcherOptions sign;
  sign.program = PatchbuildProgram();
  sign.arguments = {"sign", tree + "/version.cfg",
                    std::string(CORVANE_SOURCE_DIR) + "/tests/keys/test.key.pem", "--payload",
                    tree};
  sign.working_directory = install_->root();
  PatcherRun signed_run = RunPatcher(sign);
  ASSERT_EQ(signed_run.exit_code, 0) << signed_run.output;
  PatcherOptions pack;
  pack.program = PatchbuildProgram();
  pack.arguments = {"pack", tree, payload_};
  pack.working_directory = install_->root();
  ASSERT_EQ(RunPatcher(pack).exit_code, 0);

  // Changed after signing: the listed digest no longer matches.
  Bytes bytes;
  ASSERT_TRUE(ReadFileBytes(tree + "/All/DATA/NEW.DAT", &bytes));
  ASSERT_TRUE(WriteFileBytes(tree + "/All/DATA/NEW.DAT", ToBytes("new in 1.0!")));
  ASSERT_EQ(RunPatcher(pack).exit_code, 0);
  PatcherRun changed = RunOn({payload_});
  EXPECT_EQ(changed.exit_code, 1);
  EXPECT_OUTPUT_HAS(changed, "Patch file is corrupted, error 9.");
  ExpectUntouched();

  ASSERT_TRUE(WriteFileBytes(tree + "/All/DATA/NEW.DAT", bytes));
  ASSERT_EQ(RunPatcher(pack).exit_code, 0);
  PatcherRun sound = RunOn({payload_});
  EXPECT_EQ(sound.exit_code, 0) << sound.output;
  ExpectPatched();
}

TEST(PayloadItemsMakeE2E, MakeListsEveryItemOfWhatItPacks) {
  ScratchInstall scratch("make-lists-items");
  const std::string project = scratch.root() + "/project";
  fs::copy(std::string(CORVANE_SOURCE_DIR) + "/examples/sample-patch", project,
           fs::copy_options::recursive);
  fs::remove_all(project + "/.cache");
  ASSERT_TRUE(WriteFileBytes(project + "/signing-key.txt", ToBytes(std::string(CORVANE_SOURCE_DIR) +
                                                                   "/tests/keys/test.key.pem\n")));
  const std::string stub = scratch.root() + "/stub.exe";
  ASSERT_TRUE(WriteFileBytes(stub, BuildGameExecutable("0.0")));
  const std::string out = scratch.root() + "/sample-patch";
  PatcherOptions make;
  make.program = PatchbuildProgram();
  make.arguments = {"make", project, out, "--stub", stub};
  make.working_directory = scratch.root();
  make.timeout_seconds = 120;
  const PatcherRun made = RunPatcher(make);
  ASSERT_EQ(made.exit_code, 0) << made.output;

  platform::ResourceModule module;
  ASSERT_TRUE(module.OpenFile((out + ".exe").c_str()));
  uint32_t size = 0;
  const uint8_t* bytes = module.FindRawData("version.cfg", &size);
  ASSERT_NE(bytes, nullptr);
  ParamFile manifest;
  ASSERT_TRUE(LoadManifest(&manifest, bytes, size));
  EXPECT_EQ(CheckPayloadItems(manifest, module).status, PayloadItemsStatus::kMatches);
}

// --- one run per installation ---

TEST_F(PayloadTrustE2E, SecondRunOnALockedInstallationRefusesAtOnce) {
  ASSERT_TRUE(builder_->Seal());
  // This process stands for a first run that holds the lock.
  const std::string lock_path = install_->game_dir() + "/patch.lock";
  const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  // Taken before the lock: closing any descriptor of the file (as reading it
  // does) drops a process's record locks.
  const auto before = install_->Snapshot();
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  ASSERT_EQ(fcntl(fd, F_SETLK, &lock), 0);
  PatcherRun second = Run();
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_OUTPUT_HAS(second, "Another Sample Game patch is running on this installation.");
  EXPECT_TRUE(install_->Snapshot() == before);

  // The first run ends (its lock file may stay behind, as after a kill).
  close(fd);
  PatcherRun again = Run();
  EXPECT_EQ(again.exit_code, 0) << again.output;
  ExpectPatched();  // and the lock file is gone
}

// --- the registry ---

class RegistryTrustE2E : public PayloadTrustE2E {
 protected:
  void AddValue(bool user) {
    ParamClass* value = builder_->manifest().AddClass("UpdateRegistry")->AddClass("Version");
    value->AddInt("registryUser", user ? 1 : 0);
    value->AddText("registryPath", kSampleKey);
    value->AddText("registryName", "VERSION");
    value->AddText("registryValue", "1.01");
    ASSERT_TRUE(builder_->Seal());
  }
};

TEST_F(RegistryTrustE2E, RunningWineserverIsRefusedBeforeAnyFileChanges) {
  AddValue(false);
  const Bytes registry_before = [&] {
    Bytes bytes;
    ReadFileBytes(install_->prefix() + "/system.reg", &bytes);
    return bytes;
  }();
  {
    test_support::FakePrefixServer server;
    ASSERT_TRUE(server.Start(install_->prefix()));
    PatcherRun busy = Run();
    EXPECT_EQ(busy.exit_code, 1);
    EXPECT_OUTPUT_HAS(
        busy, "The registry of " + install_->prefix() + " cannot be changed while it is in use.");
    ExpectUntouched();
    Bytes registry;
    ASSERT_TRUE(ReadFileBytes(install_->prefix() + "/system.reg", &registry));
    EXPECT_TRUE(registry == registry_before);
  }
  PatcherRun after = Run();
  EXPECT_EQ(after.exit_code, 0) << after.output;
  ExpectPatched();
  std::string value;
  EXPECT_TRUE(install_->ReadValue(false, kSampleKey, "VERSION", &value));
  EXPECT_EQ(value, "1.01");
}

TEST_F(RegistryTrustE2E, ValueThatCannotBeWrittenFailsTheRun) {
  AddValue(true);
  const std::string user_reg = install_->prefix() + "/user.reg";
  // Not a registry file: it is left alone, and the run must say so.
  ASSERT_TRUE(WriteFileBytes(user_reg, ToBytes("not a registry\n")));
  PatcherRun unparseable = Run();
  EXPECT_EQ(unparseable.exit_code, 1);
  EXPECT_OUTPUT_HAS(unparseable, "The registry value HKEY_CURRENT_USER\\" +
                                     std::string(kSampleKey) + "\\VERSION could not be written.");
  Bytes bytes;
  ASSERT_TRUE(ReadFileBytes(user_reg, &bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "not a registry\n");

  // A write that fails: a folder stands where the file is to be replaced.
  ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
  fs::remove(install_->GamePath("DATA\\NEW.DAT"));
  fs::remove(user_reg);
  fs::create_directories(user_reg + "/in-the-way");
  PatcherRun failed = Run();
  EXPECT_EQ(failed.exit_code, 1);
  EXPECT_OUTPUT_HAS(failed, "\\VERSION could not be written.");
  EXPECT_TRUE(fs::is_directory(user_reg + "/in-the-way"));

  // Once the registry can be written, running again finishes the job.
  fs::remove_all(user_reg);
  PatcherRun again = Run();
  EXPECT_EQ(again.exit_code, 0) << again.output;
  ExpectPatched();
  std::string value;
  EXPECT_TRUE(install_->ReadValue(true, kSampleKey, "VERSION", &value));
  EXPECT_EQ(value, "1.01");
}

// --- the payload file named on the command line ---

TEST_F(PayloadTrustE2E, NamedPayloadThatDoesNotLoadIsAnErrorNeverTheOwnPayload) {
  ASSERT_TRUE(builder_->Seal());
  // A patcher with a payload of its own must still not take it instead.
  const std::string program = install_->root() + "/selfpatch";
  ASSERT_TRUE(builder_->WriteSelfContained(PatcherProgram(), program));
  const std::string missing = install_->root() + "/no-such-patch.dll";
  const std::string text = install_->root() + "/notes.txt";
  ASSERT_TRUE(WriteFileBytes(text, ToBytes("this is no module")));
  // A file that is not there is a wrong command line (2); one that is no
  // module fails the run (1). Neither falls back on the own payload.
  for (const std::string& path : {missing, text}) {
    SCOPED_TRACE(path);
    PatcherOptions options = RunOptions(program, {path});
    PatcherRun run = RunPatcher(options);
    if (path == missing) {
      EXPECT_EQ(run.exit_code, 2);
      EXPECT_OUTPUT_HAS(run, "the payload file " + path + " does not exist");
    } else {
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_OUTPUT_HAS(run, "Cannot open the patch file " + path + ".");
    }
    ExpectUntouched();
  }
}

TEST_F(PayloadTrustE2E, QuotedPathWithSpacesNamesThePayload) {
  ASSERT_TRUE(builder_->Seal());
  const std::string path = install_->root() + "/my patches/patch 1.01.dll";
  ASSERT_TRUE(builder_->WriteDll(path));
  PatcherRun run = RunOn({"\"" + path + "\""});
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ExpectPatched();
}

}  // namespace
}  // namespace corvane::e2e
