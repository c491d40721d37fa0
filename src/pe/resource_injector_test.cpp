#include "pe/resource_injector.h"

#include <gtest/gtest.h>

#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/pe_test_files.h"
#include "pe/version_resource.h"
#include "support/result_assertions.h"

namespace corvane::pe {
namespace {

using Bytes = std::vector<uint8_t>;

// The patched image: the stub's resources and the payload are both found,
// the headers describe the new section, and every old section is untouched.
void CheckInjected(const Bytes& stub, const Bytes& patched, const std::string& stub_version) {
  PeImage before, after;
  ASSERT_TRUE(before.Parse(stub.data(), stub.size()));
  ASSERT_TRUE(after.Parse(patched.data(), patched.size())) << after.error();
  ASSERT_EQ(after.sections().size(), before.sections().size() + 1);
  const PeSection& added = after.sections().back();
  EXPECT_EQ(added.name, ".rsrc");
  EXPECT_EQ(after.Directory(kDirectoryResource).rva, added.virtual_address);
  EXPECT_EQ(after.size_of_image(),
            added.virtual_address + AlignUp(added.virtual_size, after.section_alignment()));
  EXPECT_EQ(added.virtual_address % after.section_alignment(), 0u);
  EXPECT_EQ(added.raw_offset % after.file_alignment(), 0u);
  for (size_t i = 0; i < before.sections().size(); ++i) {
    const PeSection& old_section = before.sections()[i];
    const PeSection& new_section = after.sections()[i];
    EXPECT_EQ(old_section.virtual_address, new_section.virtual_address);
    EXPECT_GE(added.virtual_address, old_section.virtual_address + old_section.virtual_size);
    ASSERT_LE(uint64_t{new_section.raw_offset} + new_section.raw_size, patched.size());
    EXPECT_TRUE(std::equal(stub.begin() + old_section.raw_offset,
                           stub.begin() + old_section.raw_offset + old_section.raw_size,
                           patched.begin() + new_section.raw_offset))
        << old_section.name;
  }
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(after));
  EXPECT_FALSE(tree.damaged());
  EXPECT_EQ(FileVersionOfImage(tree), stub_version);
  const ResourceEntry* payload =
      tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"version.cfg"));
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(payload->bytes), payload->size), "manifest");
  const size_t checksum_offset = after.layout().optional_header_offset + 64;
  EXPECT_EQ(ReadU32(patched.data() + checksum_offset),
            ComputeImageChecksum(patched.data(), patched.size(), checksum_offset));
}

const std::string kManifest = "manifest";

std::vector<ResourceItem> Payload() {
  return {PayloadItem(u"VERSION.CFG", reinterpret_cast<const uint8_t*>(kManifest.data()),
                      static_cast<uint32_t>(kManifest.size()))};
}

TEST(ResourceInjectorTest, AddsPayloadToResourceCompilerStub) {
  const std::string path = testing::FixturePath();
  if (path.empty()) GTEST_SKIP() << "no cross compiler: fixture not built";
  const Bytes stub = testing::ReadTestFile(path);
  Bytes patched;
  ASSERT_TRUE(Succeeded(AddResourceSection(stub.data(), stub.size(), Payload(), &patched)));
  CheckInjected(stub, patched, "1.02");
  PeImage image;
  ASSERT_TRUE(image.Parse(patched.data(), patched.size()));
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(image));
  const std::vector<PayloadEntry> payload = ListPayload(tree);
  ASSERT_EQ(payload.size(), 3u);  // LOWER.NAME, STUBDATA, VERSION.CFG
  EXPECT_EQ(payload[2].name, u"VERSION.CFG");
}

TEST(ResourceInjectorTest, AddsPayloadToWineDllsOfBothWidths) {
  for (const char* dir : {testing::kWine32Dir, testing::kWine64Dir}) {
    for (const std::string& file : testing::DllsIn(dir, 12)) {
      const Bytes stub = testing::ReadTestFile(file);
      PeImage image;
      ASSERT_TRUE(image.Parse(stub.data(), stub.size()));
      ResourceTree tree;
      ASSERT_TRUE(tree.Load(image));
      Bytes patched;
      ASSERT_TRUE(Succeeded(AddResourceSection(stub.data(), stub.size(), Payload(), &patched)))
          << file;
      CheckInjected(stub, patched, FileVersionOfImage(tree));
    }
  }
}

TEST(ResourceInjectorTest, AddedItemReplacesStubResourceInEveryLanguage) {
  const std::string stub_data = "old!";
  const auto* bytes = reinterpret_cast<const uint8_t*>(stub_data.data());
  ResourceItem english = PayloadItem(u"version.cfg", bytes, 4);
  english.language = 0x409;
  ResourceItem key = PayloadItem(u"", bytes, 4);
  key.name = ResourceName::Id(kPublicKeyResourceId);
  key.language = 0x409;
  Bytes stub;
  ASSERT_TRUE(
      Succeeded(WriteResourceDll({PayloadItem(u"VERSION.CFG", bytes, 4), english, key}, &stub)));
  ResourceItem new_key = PayloadItem(u"", reinterpret_cast<const uint8_t*>("KEY"), 3);
  new_key.name = ResourceName::Id(kPublicKeyResourceId);
  std::vector<ResourceItem> items = Payload();
  items.push_back(new_key);
  Bytes patched;
  ASSERT_TRUE(Succeeded(AddResourceSection(stub.data(), stub.size(), items, &patched)));
  CheckInjected(stub, patched, "");
  PeImage image;
  ASSERT_TRUE(image.Parse(patched.data(), patched.size()));
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(image));
  ASSERT_EQ(tree.entries().size(), 2u);  // one language each is left
  const ResourceEntry* found =
      tree.Find(ResourceName::Id(kRtRcData), ResourceName::Id(kPublicKeyResourceId), 0x409);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->size, 3u);
}

TEST(ResourceInjectorTest, EmptySectionAtAddressZeroDoesNotPlaceTheNewOneOverTheHeaders) {
  // Our DLL, with its one section emptied and moved to RVA 0.
  Bytes stub;
  ASSERT_TRUE(Succeeded(WriteResourceDll({}, &stub)));
  PeImage image;
  ASSERT_TRUE(image.Parse(stub.data(), stub.size()));
  uint8_t* header = stub.data() + image.layout().section_table_offset;
  std::fill(header + 8, header + 24, 0);
  WriteU32(stub.data() + image.layout().data_directory_offset + 8 * kDirectoryResource, 0);
  Bytes patched;
  ASSERT_TRUE(Succeeded(AddResourceSection(stub.data(), stub.size(), Payload(), &patched)));
  PeImage after;
  ASSERT_TRUE(after.Parse(patched.data(), patched.size()));
  EXPECT_GE(after.sections().back().virtual_address, after.section_alignment());
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(after));
  EXPECT_NE(tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"VERSION.CFG")), nullptr);
}

TEST(ResourceInjectorTest, RefusesStubsTheLoaderWouldRefuse) {
  Bytes good;
  ASSERT_TRUE(Succeeded(WriteResourceDll({}, &good)));
  PeImage image;
  ASSERT_TRUE(image.Parse(good.data(), good.size()));
  const uint32_t optional = image.layout().optional_header_offset;
  Bytes out;
  Bytes no_headers = good;
  WriteU32(no_headers.data() + optional + 60, 0);  // SizeOfHeaders below the section table
  EXPECT_FALSE(AddResourceSection(no_headers.data(), no_headers.size(), Payload(), &out).ok());
  Bytes odd_alignment = good;
  WriteU32(odd_alignment.data() + optional + 36, 0x15FFFE14);  // FileAlignment
  EXPECT_FALSE(
      AddResourceSection(odd_alignment.data(), odd_alignment.size(), Payload(), &out).ok());
  Bytes outside = good;
  WriteU32(outside.data() + image.layout().section_table_offset + 20,
           0xF0F0F0F0);  // raw data offset
  EXPECT_FALSE(AddResourceSection(outside.data(), outside.size(), Payload(), &out).ok());
  Bytes huge_section = good;  // its end wraps past 32 bits when aligned
  WriteU32(huge_section.data() + image.layout().section_table_offset + 8, 0xFFFFFF00);
  EXPECT_FALSE(AddResourceSection(huge_section.data(), huge_section.size(), Payload(), &out).ok());
}

TEST(ResourceInjectorTest, GrowsHeadersWhenNoSectionHeaderFits) {
  // Our DLL's headers end at 0x200; move its section table to the end of them
  // so that no further header fits without moving the section bytes.
  const std::string data = "data";
  Bytes stub;
  ASSERT_TRUE(Succeeded(WriteResourceDll(
      {PayloadItem(u"OLD", reinterpret_cast<const uint8_t*>(data.data()), 4)}, &stub)));
  PeImage image;
  ASSERT_TRUE(image.Parse(stub.data(), stub.size()));
  const uint32_t pe_offset = 0x200 - kSectionHeaderSize - 0xE0 - kFileHeaderSize - 4;
  std::copy(stub.begin() + image.layout().pe_offset,
            stub.begin() + image.layout().section_table_offset + 40, stub.begin() + pe_offset);
  std::fill(stub.begin() + 0x40, stub.begin() + pe_offset, 0);
  WriteU32(stub.data() + kDosLfanewOffset, pe_offset);
  Bytes patched;
  ASSERT_TRUE(Succeeded(AddResourceSection(stub.data(), stub.size(), Payload(), &patched)));
  PeImage after;
  ASSERT_TRUE(after.Parse(patched.data(), patched.size()));
  EXPECT_EQ(after.size_of_headers(), 0x400u);
  EXPECT_EQ(after.sections()[0].raw_offset, 0x400u);
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(after));
  EXPECT_NE(tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"OLD")), nullptr);
  EXPECT_NE(tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"VERSION.CFG")), nullptr);
}

TEST(ResourceInjectorTest, RefusesWhatIsNoPeImage) {
  const Bytes elf = {0x7F, 'E', 'L', 'F', 0, 0, 0, 0};
  Bytes out;
  const Result refused = AddResourceSection(elf.data(), elf.size(), Payload(), &out);
  EXPECT_EQ(refused.code(), ErrorCode::kInvalidInput);
  EXPECT_EQ(refused.message().rfind("stub is not a PE image", 0), 0u) << refused.message();
}

}  // namespace
}  // namespace corvane::pe
