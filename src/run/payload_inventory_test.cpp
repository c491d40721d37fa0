#include "run/payload_inventory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "run/patch_manifest.h"
#include "run/step_test_support.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

using test::Bytes;
using test::PayloadModule;
using test::ToBytes;

std::map<std::string, Bytes> SamplePayload() {
  return {{"version.cfg", ToBytes("manifest")},
          {"version.cfg.sign", ToBytes("signature")},
          {"crc\\1.01\\crc.crc", ToBytes("GAME.EXE 12345678\r\n")},
          {"1.00-1.01\\DATA\\LEVELS.DAT.upd", ToBytes("update bytes")},
          {"All\\README.TXT", ToBytes("read me")},
          {"All\\EMPTY.TXT", Bytes{}}};
}

// The list the maker would write for a payload: every item but the manifest
// and its signature, names as stored.
std::vector<PayloadItemEntry> ListOf(const std::map<std::string, Bytes>& payload) {
  std::vector<PayloadItemEntry> items;
  for (const auto& [name, bytes] : payload) {
    if (IsPayloadManifestName(name.c_str())) continue;
    PayloadItemEntry item;
    for (char c : name) item.name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    item.size = static_cast<uint32_t>(bytes.size());
    item.sha256 = Sha256Hex(bytes.data(), bytes.size());
    items.push_back(item);
  }
  return items;
}

// The list goes through the binary form, as the patcher gets it.
PayloadItemsStatus Check(const std::vector<PayloadItemEntry>& items,
                         const std::map<std::string, Bytes>& payload, std::string* item = nullptr) {
  ParamFile written;
  written.AddText("version", "1.01");
  WritePayloadItems(&written, items);
  QOStrStream out;
  EXPECT_TRUE(written.SaveBin(out));
  ParamFile manifest;
  EXPECT_TRUE(LoadManifest(&manifest, reinterpret_cast<const uint8_t*>(out.str()),
                           static_cast<size_t>(out.GetLength())));
  PayloadModule module(payload);
  EXPECT_TRUE(module.ok());
  PayloadItemsCheck check = CheckPayloadItems(manifest, module.module());
  if (item != nullptr) *item = check.item;
  return check.status;
}

TEST(PayloadInventoryTest, Sha256OfKnownTexts) {
  EXPECT_EQ(Sha256Hex(nullptr, 0),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const Bytes abc = ToBytes("abc");
  EXPECT_EQ(Sha256Hex(abc.data(), abc.size()),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(PayloadInventoryTest, ExactPayloadMatchesAndNoListIsAbsent) {
  const auto payload = SamplePayload();
  EXPECT_EQ(Check(ListOf(payload), payload), PayloadItemsStatus::kMatches);
  ParamFile old_manifest;
  old_manifest.AddText("version", "1.01");
  PayloadModule module(payload);
  EXPECT_EQ(CheckPayloadItems(old_manifest, module.module()).status, PayloadItemsStatus::kAbsent);
}

TEST(PayloadInventoryTest, EveryDifferenceFromTheListIsNamed) {
  const auto good = SamplePayload();
  const auto list = ListOf(good);
  std::string item;

  auto flipped = good;
  flipped["1.00-1.01\\DATA\\LEVELS.DAT.upd"][3] ^= 0x01;
  EXPECT_EQ(Check(list, flipped, &item), PayloadItemsStatus::kDigestDiffers);
  EXPECT_EQ(item, "1.00-1.01\\DATA\\LEVELS.DAT.UPD");

  auto missing = good;
  missing.erase("All\\README.TXT");
  EXPECT_EQ(Check(list, missing, &item), PayloadItemsStatus::kMissingItem);
  EXPECT_EQ(item, "ALL\\README.TXT");

  auto extra = good;
  extra["All\\EVIL.DLL"] = ToBytes("x");
  EXPECT_EQ(Check(list, extra, &item), PayloadItemsStatus::kExtraItem);
  EXPECT_EQ(item, "ALL\\EVIL.DLL");

  auto longer = good;
  longer["All\\EMPTY.TXT"] = ToBytes("!");
  EXPECT_EQ(Check(list, longer, &item), PayloadItemsStatus::kSizeDiffers);
  EXPECT_EQ(item, "ALL\\EMPTY.TXT");

  // The manifest and its signature are never items.
  auto resigned = good;
  resigned["version.cfg.sign"] = ToBytes("another signature");
  EXPECT_EQ(Check(list, resigned), PayloadItemsStatus::kMatches);
}

// Items are hashed on every processor; of several damaged items the first in
// the payload's order is named, every time, and every one of many is seen.
TEST(PayloadInventoryTest, ManyItemsAreAllCheckedAndTheFirstDamageIsNamed) {
  auto name_of = [](const char* format, int i) {
    char name[32];
    std::snprintf(name, sizeof name, format, i);
    return std::string(name);
  };
  std::map<std::string, Bytes> payload = SamplePayload();
  for (int i = 0; i < 200; ++i) {
    payload[name_of("All\\DATA\\F%03d.DAT", i)] =
        Bytes(static_cast<size_t>(1000 + i * 97), static_cast<uint8_t>(i));
  }
  const auto list = ListOf(payload);
  EXPECT_EQ(Check(list, payload), PayloadItemsStatus::kMatches);
  for (int first : {199, 150, 3}) {
    auto damaged = payload;
    for (int i = first; i <= 199; i += 7) damaged[name_of("All\\DATA\\F%03d.DAT", i)][0] ^= 0x80;
    for (int round = 0; round < 5; ++round) {
      std::string item;
      EXPECT_EQ(Check(list, damaged, &item), PayloadItemsStatus::kDigestDiffers);
      EXPECT_EQ(item, name_of("ALL\\DATA\\F%03d.DAT", first));
    }
  }
}

// A patcher that knows nothing of the list reads its keys by name: the class
// must change none of them and make no reports.
TEST(PayloadInventoryTest, ReadsOfTheOtherKeysIgnoreTheClass) {
  ParamFile written;
  written.AddText("configApp", "Software\\Corvane");
  written.AddText("displayName", "Game");
  written.AddText("appName", "GAME.EXE");
  written.AddText("version", "1.01");
  written.AddInt("isPatch", 1);
  WritePayloadItems(&written, ListOf(SamplePayload()));
  QOStrStream out;
  ASSERT_TRUE(written.SaveBin(out));
  ParamFile manifest;
  ASSERT_TRUE(LoadManifest(&manifest, reinterpret_cast<const uint8_t*>(out.str()),
                           static_cast<size_t>(out.GetLength())));
  ScopedReportCapture reports;
  const ManifestHeader header = ReadManifestHeader(manifest);
  EXPECT_STREQ(header.config_app.Data(), "Software\\Corvane");
  EXPECT_STREQ(header.app_name.Data(), "GAME.EXE");
  EXPECT_STREQ(header.version.Data(), "1.01");
  EXPECT_TRUE(header.is_patch);
  EXPECT_TRUE(header.addon_name.IsEmpty());
  EXPECT_EQ(reports.Count(), 0);
}

TEST(PayloadInventoryTest, ListNamesAreComparedWithoutRegardToCase) {
  const auto payload = SamplePayload();
  auto list = ListOf(payload);
  for (PayloadItemEntry& item : list) {
    for (char& c : item.name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  EXPECT_EQ(Check(list, payload), PayloadItemsStatus::kMatches);
}

TEST(PayloadInventoryTest, MalformedListsAreRefused) {
  const auto payload = SamplePayload();
  const auto good = ListOf(payload);
  auto twice = good;
  twice.push_back(good[0]);
  EXPECT_EQ(Check(twice, payload), PayloadItemsStatus::kMalformed);
  // Sizes beyond 32 bits, signs, letters; digests of the wrong length or case.
  for (const char* size : {"4294967296", "-1", "12a", ""}) {
    ParamFile f;
    ParamEntry* array = f.AddClass(kPayloadItemsClass)->AddArray(kPayloadItemsArray);
    array->AddItemText("ALL\\README.TXT");
    array->AddItemText(size);
    array->AddItemText(good[0].sha256.c_str());
    PayloadModule module(payload);
    EXPECT_EQ(CheckPayloadItems(f, module.module()).status, PayloadItemsStatus::kMalformed) << size;
  }
  for (const std::string& digest :
       {good[0].sha256.substr(1), std::string(64, 'A'), std::string(64, 'g')}) {
    auto list = good;
    list[0].sha256 = digest;
    EXPECT_EQ(Check(list, payload), PayloadItemsStatus::kMalformed) << digest;
  }
  auto listing_manifest = good;
  listing_manifest.push_back({"VERSION.CFG", 8, good[0].sha256});
  EXPECT_EQ(Check(listing_manifest, payload), PayloadItemsStatus::kMalformed);
  // Not three texts per item, or not an array at all.
  ParamFile two;
  ParamEntry* array = two.AddClass(kPayloadItemsClass)->AddArray(kPayloadItemsArray);
  array->AddItemText("ALL\\README.TXT");
  array->AddItemText("7");
  PayloadModule module(payload);
  EXPECT_EQ(CheckPayloadItems(two, module.module()).status, PayloadItemsStatus::kMalformed);
  ParamFile scalar;
  scalar.AddClass(kPayloadItemsClass)->AddText(kPayloadItemsArray, "x");
  EXPECT_EQ(CheckPayloadItems(scalar, module.module()).status, PayloadItemsStatus::kMalformed);
}

}  // namespace
}  // namespace corvane
