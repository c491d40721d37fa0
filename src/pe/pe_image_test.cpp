#include "pe/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_test_files.h"
#include "pe/resource_tree.h"
#include "pe/string_table.h"
#include "pe/version_resource.h"
#include "text/code_page_1252.h"

namespace corvane::pe {
namespace {

using testing::DllsIn;
using testing::ReadTestFile;

// Every mapped resource lies inside the file, and named entries of each level
// come in directory order (named before numbered, ascending upper-case).
void CheckTree(const std::vector<uint8_t>& bytes, const ResourceTree& tree,
               const std::string& file) {
  for (const ResourceEntry& entry : tree.entries()) {
    if (entry.bytes == nullptr) continue;
    EXPECT_GE(entry.bytes, bytes.data()) << file;
    EXPECT_LE(entry.bytes + entry.size, bytes.data() + bytes.size()) << file;
  }
}

TEST(PeImageTest, ReadsWine32BitDlls) {
  const std::vector<std::string> files = DllsIn(testing::kWine32Dir, 1000);
  if (files.empty()) GTEST_SKIP() << "no 32-bit Wine DLLs on this machine";
  size_t with_resources = 0, with_version = 0;
  // Wine writes "5.1.2600.2180", " 5.1.2600.3319" or "5,41,15,1509".
  const std::regex version_text(" *[0-9]+([.,] *[0-9]+)+");
  for (const std::string& file : files) {
    const std::vector<uint8_t> bytes = ReadTestFile(file);
    PeImage image;
    ASSERT_TRUE(image.Parse(bytes.data(), bytes.size())) << file << ": " << image.error();
    EXPECT_FALSE(image.is_pe32_plus()) << file;
    EXPECT_EQ(image.machine(), kMachineI386) << file;
    ASSERT_FALSE(image.sections().empty()) << file;
    ResourceTree tree;
    ASSERT_TRUE(tree.Load(image)) << file;
    EXPECT_FALSE(tree.damaged()) << file;
    CheckTree(bytes, tree, file);
    with_resources += tree.entries().empty() ? 0 : 1;
    const std::string version = FileVersionOfImage(tree);
    if (!version.empty()) {
      ++with_version;
      EXPECT_TRUE(std::regex_match(version, version_text)) << file << ": " << version;
    }
  }
  EXPECT_GT(with_resources, files.size() / 2);
  EXPECT_GT(with_version, files.size() / 4);
}

TEST(PeImageTest, ReadsWine64BitDllsAsPe32Plus) {
  const std::vector<std::string> files = DllsIn(testing::kWine64Dir, 1000);
  if (files.empty()) GTEST_SKIP() << "no 64-bit Wine DLLs on this machine";
  size_t with_version = 0;
  for (const std::string& file : files) {
    const std::vector<uint8_t> bytes = ReadTestFile(file);
    PeImage image;
    ASSERT_TRUE(image.Parse(bytes.data(), bytes.size())) << file << ": " << image.error();
    EXPECT_TRUE(image.is_pe32_plus()) << file;
    ResourceTree tree;
    ASSERT_TRUE(tree.Load(image)) << file;
    EXPECT_FALSE(tree.damaged()) << file;
    CheckTree(bytes, tree, file);
    with_version += FileVersionOfImage(tree).empty() ? 0 : 1;
  }
  EXPECT_GT(with_version, files.size() / 4);
}

TEST(PeImageTest, ReadsResourceCompilerOutput) {
  const std::string path = testing::FixturePath();
  if (path.empty()) GTEST_SKIP() << "no cross compiler: fixture not built";
  const std::vector<uint8_t> bytes = ReadTestFile(path);
  PeImage image;
  ASSERT_TRUE(image.Parse(bytes.data(), bytes.size())) << image.error();
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(image));
  EXPECT_FALSE(tree.damaged());
  // The US English block, not the German one written before it.
  EXPECT_EQ(FileVersionOfImage(tree), "1.02");
  // The resource compiler stores names upper-case and sorted.
  const std::vector<PayloadEntry> payload = ListPayload(tree);
  ASSERT_EQ(payload.size(), 2u);
  EXPECT_EQ(payload[0].name, u"LOWER.NAME");
  EXPECT_EQ(payload[1].name, u"STUBDATA");
  EXPECT_EQ(
      std::string(reinterpret_cast<const char*>(payload[1].entry->bytes), payload[1].entry->size),
      "stub");
  EXPECT_NE(tree.Find(ResourceName::Id(kRtRcData), ResourceName::Id(7)), nullptr);
  std::u16string text;
  ASSERT_TRUE(LoadTableString(tree, 1, 0, &text));
  EXPECT_EQ(text, u"Corvane fixture");
  ASSERT_TRUE(LoadTableString(tree, 17, 0, &text));
  EXPECT_EQ(text, u"Second block");
}

TEST(PeImageTest, RefusesWhatIsNoPeImage) {
  PeImage image;
  std::vector<uint8_t> bytes(0x100, 0);
  EXPECT_FALSE(image.Parse(bytes.data(), bytes.size()));
  WriteU16(bytes.data(), kDosMagic);
  WriteU32(bytes.data() + kDosLfanewOffset, 0xFFFFFFF0u);  // header far outside
  EXPECT_FALSE(image.Parse(bytes.data(), bytes.size()));
  WriteU32(bytes.data() + kDosLfanewOffset, 0x80);
  WriteU32(bytes.data() + 0x80, kPeSignature);
  WriteU16(bytes.data() + 0x84 + 16, 0xF0);  // optional header past the end
  EXPECT_FALSE(image.Parse(bytes.data(), bytes.size()));
  EXPECT_FALSE(image.Parse(nullptr, 0));
}

TEST(PeImageTest, MapRvaStaysInsideSectionsAndFile) {
  const std::vector<std::string> files = DllsIn(testing::kWine32Dir, 1);
  if (files.empty()) GTEST_SKIP() << "no 32-bit Wine DLLs on this machine";
  const std::vector<uint8_t> bytes = ReadTestFile(files[0]);
  PeImage image;
  ASSERT_TRUE(image.Parse(bytes.data(), bytes.size()));
  const PeSection& last = image.sections().back();
  const uint32_t span =
      std::min(last.raw_size, last.virtual_size ? last.virtual_size : last.raw_size);
  EXPECT_NE(image.MapRva(last.virtual_address, span), nullptr);
  EXPECT_EQ(image.MapRva(last.virtual_address, span + 1), nullptr);
  EXPECT_EQ(image.MapRva(0xFFFFFFF0u, 0x20), nullptr);  // wraps past 32 bits
}

}  // namespace
}  // namespace corvane::pe
