#include "pe/resource_tree.h"

#include <gtest/gtest.h>

#include <vector>

#include "pe/pe_format.h"
#include "pe/resource_writer.h"
#include "support/result_assertions.h"

namespace corvane::pe {
namespace {

using Bytes = std::vector<uint8_t>;

// A written DLL whose resource section the tests then damage. The section
// starts at file offset 0x200 (RVA 0x1000); the root directory is there.
struct Damaged {
  Bytes image;
  uint8_t* section() { return image.data() + 0x200; }
  ResourceTree Read() {
    PeImage pe;
    EXPECT_TRUE(pe.Parse(image.data(), image.size()));
    ResourceTree tree;
    tree.Load(pe);
    return tree;
  }
};

Damaged MakeDll() {
  static const Bytes data = {1, 2, 3, 4};
  Damaged d;
  EXPECT_TRUE(Succeeded(WriteResourceDll(
      {PayloadItem(u"ONE", data.data(), 4), PayloadItem(u"TWO", data.data(), 4)}, &d.image)));
  return d;
}

TEST(ResourceTreeTest, DirectoryPointingAtItselfEnds) {
  Damaged d = MakeDll();
  // Root entry 0 (type RT_RCDATA) points back at the root; so would every
  // level below it.
  WriteU32(d.section() + kResourceDirectorySize + 4, kResourceSubdirFlag | 0);
  const ResourceTree tree = d.Read();
  EXPECT_TRUE(tree.damaged());  // the root's leaves are no data entries
  EXPECT_LE(tree.entries().size(), ResourceTree::kMaxEntries);
}

TEST(ResourceTreeTest, WideSelfReferencingDirectoryIsCapped) {
  // A root claiming 65,535 id entries that all point at the root would give
  // 65,535^3 leaves without a cap; the image holds only the first few.
  Damaged d = MakeDll();
  const uint32_t size = 16 + 8 * 0xFFFF;
  d.image.resize(0x200 + size, 0);
  PeImage pe;
  ASSERT_TRUE(pe.Parse(d.image.data(), d.image.size()));
  uint8_t* header = d.image.data() + pe.layout().section_table_offset;
  WriteU32(header + 8, size);
  WriteU32(header + 16, size);
  uint8_t* root = d.section();
  WriteU16(root + 12, 0);
  WriteU16(root + 14, 0xFFFF);
  for (uint32_t i = 0; i < 0xFFFF; ++i) {
    WriteU32(root + 16 + 8 * i, i);
    WriteU32(root + 16 + 8 * i + 4, kResourceSubdirFlag | 0);
  }
  const ResourceTree tree = d.Read();
  EXPECT_TRUE(tree.damaged());
  EXPECT_TRUE(tree.entries().empty());  // leaves are never data entries
}

TEST(ResourceTreeTest, OffsetsOutsideTheImageDropOnlyTheirEntry) {
  Damaged d = MakeDll();
  // Root -> type directory (at 0x18) -> its first name entry's string offset.
  const uint32_t type_directory =
      ReadU32(d.section() + kResourceDirectorySize + 4) & ~kResourceSubdirFlag;
  uint8_t* first_name = d.section() + type_directory + kResourceDirectorySize;
  WriteU32(first_name, kResourceNameFlag | 0x7FFFFFF0);
  const ResourceTree tree = d.Read();
  EXPECT_TRUE(tree.damaged());
  ASSERT_EQ(tree.entries().size(), 1u);
  EXPECT_EQ(tree.entries()[0].name.name, u"TWO");
}

TEST(ResourceTreeTest, DataOutsideTheFileHasNoBytesAndIsNotFound) {
  Damaged d = MakeDll();
  PeImage pe;
  ASSERT_TRUE(pe.Parse(d.image.data(), d.image.size()));
  ResourceTree tree;
  ASSERT_TRUE(tree.Load(pe));
  // The data entries follow the directories; patch the first one's size.
  for (size_t offset = 0; offset + 16 <= 0x200; offset += 4) {
    if (ReadU32(d.section() + offset) == tree.entries()[0].data_rva &&
        ReadU32(d.section() + offset + 4) == 4) {
      WriteU32(d.section() + offset + 4, 0xFFFFFFF0u);
      break;
    }
  }
  const ResourceTree damaged = d.Read();
  ASSERT_EQ(damaged.entries().size(), 2u);
  EXPECT_EQ(damaged.entries()[0].bytes, nullptr);
  EXPECT_EQ(damaged.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"one")), nullptr);
  EXPECT_NE(damaged.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"two")), nullptr);
}

TEST(ResourceTreeTest, TruncatedImagesNeverReadOutside) {
  const Damaged d = MakeDll();
  for (size_t size = 0; size < d.image.size(); size += 7) {
    Bytes prefix(d.image.begin(), d.image.begin() + size);
    PeImage pe;
    if (!pe.Parse(prefix.data(), prefix.size())) continue;
    ResourceTree tree;
    tree.Load(pe);
    for (const ResourceEntry& entry : tree.entries()) {
      if (entry.bytes != nullptr) {
        EXPECT_LE(entry.bytes + entry.size, prefix.data() + prefix.size());
      }
    }
  }
}

}  // namespace
}  // namespace corvane::pe
