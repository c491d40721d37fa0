// The manifest's schema reads: top-level keys, the three classes, detection
// rules over real files and the registry values a run writes.

#include "run/patch_manifest.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/crc32.h"
#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "platform/registry.h"
#include "run/distributions.h"
#include "run/registry_update.h"
#include "run/step_test_support.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

using test::ScratchDir;

std::vector<uint8_t> Binary(ParamFile& file) {
  QOStrStream out;
  EXPECT_TRUE(file.SaveBin(out));
  const uint8_t* data = reinterpret_cast<const uint8_t*>(out.str());
  return std::vector<uint8_t>(data, data + out.GetLength());
}

TEST(PatchManifest, HeaderReadsStrictAndQuietKeys) {
  ParamFile source;
  source.AddText("configApp", "Software\\Game");
  source.AddText("appName", "GAME.EXE");
  source.AddText("version", "1.02");
  source.AddText("requiredForPatch", "1.01");
  std::vector<uint8_t> bytes = Binary(source);

  ParamFile manifest;
  ASSERT_TRUE(LoadManifest(&manifest, bytes.data(), bytes.size()));
  ScopedReportCapture reports;
  ManifestHeader header = ReadManifestHeader(manifest);
  EXPECT_STREQ(header.config_app.Data(), "Software\\Game");
  EXPECT_STREQ(header.version.Data(), "1.02");
  EXPECT_EQ(header.required_for_patch, 101);
  EXPECT_EQ(header.required_for_addons, 0);  // absent: never refuses
  EXPECT_TRUE(header.addon_name.IsEmpty());
  EXPECT_FALSE(header.is_patch);  // absent: an add-on run...
  // ...after the strict reads reported their missing keys; quiet ones did not.
  EXPECT_TRUE(reports.Contains("isPatch"));
  EXPECT_TRUE(reports.Contains("displayName"));
  EXPECT_FALSE(reports.Contains("requiredForAddons"));
  EXPECT_FALSE(reports.Contains("name'"));
}

TEST(PatchManifest, BytesThatDoNotLoadLeaveAnEmptyManifest) {
  const uint8_t garbage[] = {0x00, 'r', 'a', 'P', 8, 0, 0, 0, 0xFF, 0xFF};
  ParamFile manifest;
  ScopedReportCapture reports;
  LoadManifest(&manifest, garbage, sizeof garbage);
  EXPECT_TRUE(ReadManifestText(manifest, "configApp").IsEmpty());
  EXPECT_EQ(ReadManifestInt(manifest, "scope"), 0);
}

void AddRow(ParamClass* table, const char* name, int scope, const char* title, const char* parent) {
  ParamClass* row = table->AddClass(name);
  row->AddInt("scope", scope);
  row->AddText("name", title);
  row->AddText("parent", parent);
}

TEST(ReadDistributions, RowsCandidatesAndParents) {
  ParamFile manifest;
  ParamClass* table = manifest.AddClass("Distributions");
  AddRow(table, "BASE", 0, "never shown", "");
  table->AddText("comment", "not a class: ignored");
  AddRow(table, "GOLD", 1, "Gold", "base");       // parents compare without case
  AddRow(table, "EARLY", 2, "Early", "LATER");    // defined later: no parent
  AddRow(table, "LATER", 1, "Later", "nothing");  // unknown: no parent
  DistributionTable rows;
  NameList candidates;
  ReadDistributions(manifest, &rows, &candidates);
  ASSERT_EQ(rows.Size(), 4);
  EXPECT_TRUE(rows[0].title.IsEmpty());  // scope 0: the title is not read
  EXPECT_EQ(rows[1].parent, 0);
  EXPECT_EQ(rows[2].parent, -1);
  EXPECT_EQ(rows[3].parent, -1);
  ASSERT_EQ(candidates.Size(), 3);
  EXPECT_STREQ(candidates[0].Data(), "GOLD");
  EXPECT_STREQ(candidates[2].Data(), "LATER");
}

TEST(ReadDistributions, AbsentClassGivesNothing) {
  ParamFile manifest;
  DistributionTable rows;
  NameList candidates;
  ScopedReportCapture reports;
  ReadDistributions(manifest, &rows, &candidates);
  EXPECT_TRUE(rows.IsEmpty());
  EXPECT_TRUE(candidates.IsEmpty());
  EXPECT_EQ(reports.Count(), 0);
}

class DetectDistributionTest : public ::testing::Test {
 protected:
  void AddRule(const char* file, uint32_t crc, const std::vector<const char*>& names) {
    ParamClass* rules = manifest_.AddClass("WhatDistribution");
    ParamClass* rule = rules->AddClass(("Rule" + std::to_string(count_++)).c_str());
    rule->AddText("file", file);
    rule->AddInt("crc", static_cast<int>(crc));
    ParamEntry* list = rule->AddArray("distributions");
    for (const char* name : names) list->AddItemText(name);
  }
  NameList Detect(const std::vector<const char*>& names) {
    NameList candidates;
    for (const char* name : names) candidates.Add(name);
    DetectDistribution(manifest_, RString(dir_.SystemPath().c_str()), &candidates);
    return candidates;
  }
  static std::vector<std::string> Texts(const NameList& list) {
    std::vector<std::string> out;
    for (const RString& name : list) out.emplace_back(name.Data());
    return out;
  }

  ScratchDir dir_;
  ParamFile manifest_;
  int count_ = 0;
};

TEST_F(DetectDistributionTest, MatchingRulesNarrowInOrder) {
  dir_.Write("edition.txt", "gold");
  dir_.Write("data/extra.pbo", std::string(10000, 'x'));
  AddRule("EDITION.TXT", Crc32("gold", 4), {"gold", "DELUXE", "CLASSIC"});
  AddRule("data\\extra.pbo", Crc32(std::string(10000, 'x').data(), 10000), {"DELUXE", "GOLD"});
  AddRule("edition.txt", Crc32("gold", 4) ^ 1, {"CLASSIC"});  // one bit off: skipped
  AddRule("missing.txt", 0, {});                              // no file: skipped
  EXPECT_EQ(Texts(Detect({"CLASSIC", "GOLD", "DELUXE", "OTHER"})),
            (std::vector<std::string>{"GOLD", "DELUXE"}));
}

TEST_F(DetectDistributionTest, RuleListingNoCandidateEmptiesAndStops) {
  dir_.Write("edition.txt", "gold");
  AddRule("edition.txt", Crc32("gold", 4), {"NOBODY"});
  AddRule("edition.txt", Crc32("gold", 4), {"GOLD"});
  EXPECT_TRUE(Detect({"GOLD", "CLASSIC"}).IsEmpty());
}

TEST_F(DetectDistributionTest, EmptyFileHasTheCrcOfNothing) {
  dir_.Write("empty.txt", "");
  AddRule("empty.txt", 0, {"GOLD"});
  EXPECT_EQ(Texts(Detect({"GOLD", "CLASSIC"})), (std::vector<std::string>{"GOLD"}));
}

ParamClass* AddWrite(ParamFile* manifest, const char* name, std::vector<const char*>* limit) {
  ParamClass* entry = manifest->AddClass("UpdateRegistry")->AddClass(name);
  if (limit != nullptr) {
    ParamEntry* list = entry->AddArray("distributions");
    for (const char* item : *limit) list->AddItemText(item);
  }
  entry->AddInt("registryUser", 1);
  entry->AddText("registryPath", "Software\\Test\\Deep\\Key");
  entry->AddText("registryName", name);
  entry->AddText("registryValue", name);
  return entry;
}

std::vector<std::string> Written(const ParamFile& manifest, const char* distribution) {
  std::vector<std::string> names;
  for (const RegistryWrite& write : ReadRegistryUpdates(manifest, RString(distribution))) {
    names.emplace_back(write.name.Data());
  }
  return names;
}

TEST(RegistryUpdate, DistributionsLimitTheValues) {
  ParamFile manifest;
  std::vector<const char*> kestrel = {"kestrel"};
  std::vector<const char*> empty = {};
  std::vector<const char*> blank = {""};
  AddWrite(&manifest, "Always", nullptr);
  AddWrite(&manifest, "Kestrel", &kestrel);
  AddWrite(&manifest, "Never", &empty);
  AddWrite(&manifest, "NoSelection", &blank);
  manifest.AddClass("UpdateRegistry")->AddText("note", "not a class");
  using Names = std::vector<std::string>;
  EXPECT_EQ(Written(manifest, "KESTREL"), (Names{"Always", "Kestrel"}));
  EXPECT_EQ(Written(manifest, "OTHER"), (Names{"Always"}));
  EXPECT_EQ(Written(manifest, ""), (Names{"Always", "NoSelection"}));
}

TEST(RegistryUpdate, MissingKeysReadEmptyAndTheEntryStillCounts) {
  ParamFile manifest;
  manifest.AddClass("UpdateRegistry")->AddClass("Bare");
  ScopedReportCapture reports;
  AutoArray<RegistryWrite> writes = ReadRegistryUpdates(manifest, RString());
  ASSERT_EQ(writes.Size(), 1);
  EXPECT_FALSE(writes[0].user);  // HKEY_LOCAL_MACHINE
  EXPECT_TRUE(writes[0].path.IsEmpty());
  EXPECT_TRUE(writes[0].name.IsEmpty());  // the key's default value
  EXPECT_TRUE(reports.Contains("registryPath"));
}

#ifndef _WIN32
TEST(RegistryUpdate, WritesIntoTheWinePrefixCreatingKeys) {
  ScratchDir prefix;
  const char* previous = std::getenv("WINEPREFIX");
  std::string saved = previous != nullptr ? previous : "";
  setenv("WINEPREFIX", prefix.Host("").c_str(), 1);
  ParamFile manifest;
  std::vector<const char*> gold = {"GOLD"};
  AddWrite(&manifest, "First", nullptr);
  AddWrite(&manifest, "Second", &gold);
  EXPECT_EQ(ApplyRegistryUpdates(manifest, RString("CLASSIC")), 1);
  std::string value;
  EXPECT_EQ(platform::ReadRegistryString(platform::RegistryRoot::kCurrentUser,
                                         "Software\\Test\\Deep\\Key", "First", &value),
            platform::RegistryStatus::kOk);
  EXPECT_EQ(value, "First");
  EXPECT_EQ(platform::ReadRegistryString(platform::RegistryRoot::kCurrentUser,
                                         "Software\\Test\\Deep\\Key", "Second", &value),
            platform::RegistryStatus::kNotFound);
  if (previous != nullptr) {
    setenv("WINEPREFIX", saved.c_str(), 1);
  } else {
    unsetenv("WINEPREFIX");
  }
}
#endif

}  // namespace
}  // namespace corvane
