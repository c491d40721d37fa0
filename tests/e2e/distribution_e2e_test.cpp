// Whole runs that involve distributions (editions): detection by CRC, the
// choice between candidates on a terminal, variants along a parent chain,
// and registry values limited to distributions.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "patcher_process.h"
#include "payload_builder.h"
#include "sample_game.h"
#include "scratch_install.h"
#include "scratch_patch_test.h"

namespace corvane::e2e {
namespace {

const char* kEditionFile = "EDITION.TXT";

class DistributionE2E : public ScratchPatchTest {
 protected:
  void SetUp() override {
    ScratchPatchTest::SetUp();
    ASSERT_TRUE(InstallFiles(*install_, SampleGameFiles(0)));
    SamplePatchOptions options;
    options.to_minor = 1;
    MakeSamplePatch(builder_.get(), options);
    // BASE (scope 0) <- GOLD <- DELUXE, and CLASSIC on its own.
    ParamClass* distributions = builder_->manifest().AddClass("Distributions");
    AddDistribution(distributions, "BASE", 0, "", "");
    AddDistribution(distributions, "GOLD", 1, "Gold Edition", "BASE");
    AddDistribution(distributions, "DELUXE", 1, "Deluxe Box", "gold");
    AddDistribution(distributions, "CLASSIC", 1, "Classic", "");
  }

  static void AddDistribution(ParamClass* table, const char* name, int scope, const char* title,
                              const char* parent) {
    ParamClass* row = table->AddClass(name);
    row->AddInt("scope", scope);
    if (scope > 0) row->AddText("name", title);
    row->AddText("parent", parent);
  }

  // A detection rule: an installation whose EDITION.TXT holds `content` is
  // one of `distributions`.
  void AddRule(const char* rule, const std::string& content, std::vector<const char*> distributions,
               const char* file = kEditionFile) {
    ParamClass* what = builder_->manifest().AddClass("WhatDistribution");
    ParamClass* entry = what->AddClass(rule);
    entry->AddText("file", file);
    entry->AddInt("crc", static_cast<int>(FileCrc(ToBytes(content))));
    ParamEntry* list = entry->AddArray("distributions");
    for (const char* name : distributions) list->AddItemText(name);
  }

  void AddRegistryValue(const char* entry_name, const char* value,
                        std::vector<const char*>* limit) {
    ParamClass* updates = builder_->manifest().AddClass("UpdateRegistry");
    ParamClass* entry = updates->AddClass(entry_name);
    if (limit != nullptr) {
      ParamEntry* list = entry->AddArray("distributions");
      for (const char* name : *limit) list->AddItemText(name);
    }
    entry->AddInt("registryUser", 1);
    entry->AddText("registryPath", "Software\\Corvane Samples\\Sample Game\\Values");
    entry->AddText("registryName", entry_name);
    entry->AddText("registryValue", value);
  }

  PatcherRun Run(const std::string& input = "", bool terminal = false) {
    EXPECT_TRUE(builder_->Seal());
    return RunPayload(input, terminal);
  }

  std::string Installed(const std::string& name) {
    Bytes bytes;
    if (!install_->ReadGameFile(name, &bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
  }

  std::string UserValue(const std::string& name) {
    std::string value;
    if (!install_->ReadValue(true, "Software\\Corvane Samples\\Sample Game\\Values", name,
                             &value)) {
      return "<none>";
    }
    return value;
  }
};

TEST_F(DistributionE2E, DetectionByCrcPicksTheVariantWithoutAsking) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("gold")));
  AddRule("IsGold", "gold", {"gold"});
  AddRule("IsClassic", "classic", {"CLASSIC"});
  builder_->Add("All\\MAPS\\BONUS.MAP.#GOLD", ToBytes("gold bonus"));
  builder_->Add("All\\MAPS\\BONUS.MAP.#CLASSIC", ToBytes("classic bonus"));
  builder_->Add("All\\MAPS\\BONUS.MAP", ToBytes("plain bonus"));
  PatcherRun run = Run();  // no terminal: a question would be cancelled
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(Installed("MAPS\\BONUS.MAP"), "gold bonus");
  EXPECT_EQ(Installed("MAPS\\BONUS.MAP.#GOLD"), "<missing>");
}

TEST_F(DistributionE2E, CrcOffByOneBitLeavesTheChoiceOpen) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("gold")));
  AddRule("IsGoldish", "golf", {"GOLD"});  // "golf" differs from "gold" in one bit
  PatcherRun run = Run();
  // Three candidates remain and nobody can choose: cancelled, with no box
  // and no window, but the player is told why.
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output.find("Sample Game"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Run the patcher in a terminal to choose the edition."),
            std::string::npos)
      << run.output;
  Bytes levels;
  ASSERT_TRUE(install_->ReadGameFile("DATA\\LEVELS.DAT", &levels));
  EXPECT_TRUE(levels == SampleGameFiles(0)["DATA\\LEVELS.DAT"]);
}

TEST_F(DistributionE2E, ChoiceBetweenTwoFollowsTheSortedTitles) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("either")));
  AddRule("Missing", "", {"DELUXE"}, "EDITION2.TXT");  // not installed: skipped
  AddRule("GoldOrClassic", "either", {"GOLD", "CLASSIC"});
  builder_->Add("All\\MAPS\\BONUS.MAP.#CLASSIC", ToBytes("classic bonus"));
  builder_->Add("All\\MAPS\\BONUS.MAP.#GOLD", ToBytes("gold bonus"));
  // Sorted: 1 Classic, 2 Gold Edition. Manifest order puts Gold first; the
  // answer must follow the titles shown.
  PatcherRun run = Run("2\n\n", true);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  size_t classic = run.output.find("1. Classic");
  size_t gold = run.output.find("2. Gold Edition");
  ASSERT_NE(classic, std::string::npos) << run.output;
  EXPECT_LT(classic, gold);
  EXPECT_EQ(run.output.find("Deluxe"), std::string::npos) << run.output;
  EXPECT_EQ(Installed("MAPS\\BONUS.MAP"), "gold bonus");
}

TEST_F(DistributionE2E, EnterTakesThePreselectedFirstTitle) {
  builder_->Add("All\\MAPS\\BONUS.MAP.#CLASSIC", ToBytes("classic bonus"));
  PatcherRun run = Run("\n\n", true);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(Installed("MAPS\\BONUS.MAP"), "classic bonus");
}

TEST_F(DistributionE2E, CancelledChoiceEndsWithoutMessageOrChange) {
  PatcherRun run = Run("0\n", true);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output.find("Sample Game"), std::string::npos) << run.output;
  Bytes levels;
  ASSERT_TRUE(install_->ReadGameFile("DATA\\LEVELS.DAT", &levels));
  EXPECT_TRUE(levels == SampleGameFiles(0)["DATA\\LEVELS.DAT"]);
}

TEST_F(DistributionE2E, VariantsFollowTheParentChain) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("deluxe")));
  AddRule("IsDeluxe", "deluxe", {"DELUXE"});
  // DELUXE <- GOLD <- BASE: the nearest variant wins, else the plain file.
  builder_->Add("All\\A.TXT.#BASE", ToBytes("a base"));
  builder_->Add("All\\A.TXT.#GOLD", ToBytes("a gold"));
  builder_->Add("All\\A.TXT.#DELUXE", ToBytes("a deluxe"));
  builder_->Add("All\\B.TXT.#BASE", ToBytes("b base"));
  builder_->Add("All\\B.TXT.#GOLD", ToBytes("b gold"));
  builder_->Add("All\\C.TXT", ToBytes("c plain"));
  builder_->Add("All\\C.TXT.#CLASSIC", ToBytes("c classic"));
  builder_->Add("All\\D.TXT.#CLASSIC", ToBytes("d classic"));
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(Installed("A.TXT"), "a deluxe");
  EXPECT_EQ(Installed("B.TXT"), "b gold");
  EXPECT_EQ(Installed("C.TXT"), "c plain");
  EXPECT_EQ(Installed("D.TXT"), "<missing>");
}

TEST_F(DistributionE2E, RegistryValuesOnlyForListedDistributions) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("gold")));
  AddRule("IsGold", "gold", {"GOLD"});
  std::vector<const char*> gold = {"gold"};
  std::vector<const char*> classic = {"CLASSIC"};
  std::vector<const char*> none = {};
  AddRegistryValue("Always", "1", nullptr);
  AddRegistryValue("ForGold", "2", &gold);
  AddRegistryValue("ForClassic", "3", &classic);
  AddRegistryValue("Never", "4", &none);
  // The game's own key, below HKEY_LOCAL_MACHINE.
  ParamClass* version = builder_->manifest().AddClass("UpdateRegistry")->AddClass("Version");
  version->AddInt("registryUser", 0);
  version->AddText("registryPath", kSampleKey);
  version->AddText("registryName", "VERSION");
  version->AddText("registryValue", "1.01");
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(UserValue("Always"), "1");
  EXPECT_EQ(UserValue("ForGold"), "2");
  EXPECT_EQ(UserValue("ForClassic"), "<none>");
  EXPECT_EQ(UserValue("Never"), "<none>");
  std::string value;
  EXPECT_TRUE(install_->ReadValue(false, kSampleKey, "VERSION", &value));
  EXPECT_EQ(value, "1.01");
}

TEST_F(DistributionE2E, FailedRunWritesNoRegistryValue) {
  ASSERT_TRUE(install_->WriteGameFile(kEditionFile, ToBytes("gold")));
  AddRule("IsGold", "gold", {"GOLD"});
  AddRegistryValue("Always", "1", nullptr);
  Bytes& update = builder_->Get("1.00-1.01\\DATA\\LEVELS.DAT.upd");
  update[update.size() - 1] ^= 0x55;
  PatcherRun run = Run();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(UserValue("Always"), "<none>");
}

}  // namespace
}  // namespace corvane::e2e
