#include "pe/resource_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe/payload_names.h"
#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/string_table.h"
#include "support/result_assertions.h"
#include "text/code_page_1252.h"

namespace corvane::pe {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Blob(size_t size, uint8_t seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

struct WrittenDll {
  Bytes image;
  PeImage pe;
  ResourceTree tree;
};

void WriteAndRead(const std::vector<ResourceItem>& items, WrittenDll* dll) {
  ASSERT_TRUE(Succeeded(WriteResourceDll(items, &dll->image)));
  ASSERT_TRUE(dll->pe.Parse(dll->image.data(), dll->image.size())) << dll->pe.error();
  ASSERT_TRUE(dll->tree.Load(dll->pe));
  ASSERT_FALSE(dll->tree.damaged());
}

TEST(ResourceWriterTest, PayloadNamesComeBackUpperCaseAscendingWithTheirBytes) {
  const Bytes a = Blob(5, 1), b = Blob(3000, 2), c = Blob(1, 3), empty;
  std::vector<ResourceItem> items = {
      PayloadItem(u"version.cfg", a.data(), 5),
      PayloadItem(u"1.00-1.01\\addons\\ui.vbk.upd", b.data(), 3000),
      PayloadItem(u"All\\Veska.exe.#kestrel", c.data(), 1),
      PayloadItem(u"Add\\empty.txt", empty.data(), 0),
  };
  ResourceItem numbered = PayloadItem(u"", c.data(), 1);
  numbered.name = ResourceName::Id(kPublicKeyResourceId);
  items.push_back(numbered);
  WrittenDll dll;
  WriteAndRead(items, &dll);

  EXPECT_FALSE(dll.pe.is_pe32_plus());
  EXPECT_EQ(dll.pe.machine(), kMachineI386);
  EXPECT_EQ(dll.pe.characteristics() & 0x2000, 0x2000);  // a DLL
  const std::vector<PayloadEntry> payload = ListPayload(dll.tree);
  ASSERT_EQ(payload.size(), 4u);  // the numbered one is not payload
  EXPECT_EQ(payload[0].name, u"1.00-1.01\\ADDONS\\UI.VBK.UPD");
  EXPECT_EQ(payload[1].name, u"ADD\\EMPTY.TXT");
  EXPECT_EQ(payload[2].name, u"ALL\\VESKA.EXE.#KESTREL");
  EXPECT_EQ(payload[3].name, u"VERSION.CFG");
  EXPECT_EQ(Bytes(payload[0].entry->bytes, payload[0].entry->bytes + payload[0].entry->size), b);
  EXPECT_EQ(payload[1].entry->size, 0u);

  const ResourceEntry* found =
      dll.tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"Version.Cfg"));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(Bytes(found->bytes, found->bytes + found->size), a);
  const ResourceEntry* key =
      dll.tree.Find(ResourceName::Id(kRtRcData), ResourceName::Id(kPublicKeyResourceId));
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->size, 1u);
}

TEST(ResourceWriterTest, ItemsWithTheSameBytesShareOneBlock) {
  const Bytes big = Blob(100000, 4), same = big, other = Blob(100000, 5),
              prefix(big.begin(), big.end() - 1);
  const std::vector<ResourceItem> distinct = {PayloadItem(u"All\\A.DAT", big.data(), 100000),
                                              PayloadItem(u"All\\C.DAT", other.data(), 100000)};
  std::vector<ResourceItem> items = distinct;
  items.push_back(
      PayloadItem(u"All\\B.DAT.#GOLD", same.data(), 100000));         // equal bytes, own buffer
  items.push_back(PayloadItem(u"All\\D.DAT", prefix.data(), 99999));  // a prefix is no match
  WrittenDll dll, without;
  WriteAndRead(items, &dll);
  WriteAndRead(distinct, &without);
  // One block more than the two distinct items need: the prefix; B adds none.
  EXPECT_LT(dll.image.size(), without.image.size() + 99999 + 4096);
  EXPECT_GE(dll.image.size(), without.image.size() + 99999);
  const std::vector<PayloadEntry> payload = ListPayload(dll.tree);
  ASSERT_EQ(payload.size(), 4u);
  const Bytes* expected[] = {&big, &same, &other, &prefix};  // A, B, C, D
  for (size_t i = 0; i < payload.size(); ++i) {
    EXPECT_EQ(Bytes(payload[i].entry->bytes, payload[i].entry->bytes + payload[i].entry->size),
              *expected[i])
        << i;
  }
  EXPECT_EQ(payload[0].entry->bytes, payload[1].entry->bytes) << "A and B share their block";
}

TEST(ResourceWriterTest, DirectoryOrderIsNamedByUpperCaseThenNumbersAscending) {
  // "_" sorts between upper and lower case letters: comparing lower-case
  // names would put it first.
  const Bytes x = Blob(2, 9);
  std::vector<ResourceItem> items = {PayloadItem(u"b", x.data(), 2), PayloadItem(u"_", x.data(), 2),
                                     PayloadItem(u"a", x.data(), 2)};
  for (uint16_t id : {30, 2, 11}) {
    ResourceItem item = PayloadItem(u"", x.data(), 2);
    item.name = ResourceName::Id(id);
    items.push_back(item);
  }
  WrittenDll dll;
  WriteAndRead(items, &dll);
  std::vector<ResourceName> order;
  for (const ResourceEntry& entry : dll.tree.entries()) order.push_back(entry.name);
  const std::vector<ResourceName> expected = {ResourceName::Named(u"A"), ResourceName::Named(u"B"),
                                              ResourceName::Named(u"_"), ResourceName::Id(2),
                                              ResourceName::Id(11),      ResourceName::Id(30)};
  EXPECT_EQ(order, expected);
}

TEST(ResourceWriterTest, LettersBeyondAsciiAreStoredUpperCaseToo) {
  // The system finds names without regard to case beyond ASCII and searches
  // the sorted directory: "\u00e9" must sit where "\u00c9" sorts.
  const Bytes x = Blob(1, 1);
  WrittenDll dll;
  WriteAndRead({PayloadItem(u"caf\u00e9", x.data(), 1), PayloadItem(u"CAFD", x.data(), 1),
                PayloadItem(u"\u0153uvre\u00ff", x.data(), 1)},
               &dll);
  ASSERT_EQ(dll.tree.entries().size(), 3u);
  EXPECT_EQ(dll.tree.entries()[0].name.name, u"CAFD");
  EXPECT_EQ(dll.tree.entries()[1].name.name, u"CAF\u00c9");
  EXPECT_EQ(dll.tree.entries()[2].name.name, u"\u0152UVRE\u0178");
  EXPECT_NE(dll.tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"Caf\u00e9")), nullptr);
  EXPECT_NE(dll.tree.Find(ResourceName::Id(kRtRcData), ResourceName::Named(u"\u0153UVRE\u00ff")),
            nullptr);
}

TEST(ResourceWriterTest, LaterItemReplacesEqualNameInAnyCase) {
  const Bytes first = Blob(4, 1), second = Blob(8, 2);
  WrittenDll dll;
  WriteAndRead(
      {PayloadItem(u"data.bin", first.data(), 4), PayloadItem(u"DATA.bin", second.data(), 8)},
      &dll);
  ASSERT_EQ(dll.tree.entries().size(), 1u);
  EXPECT_EQ(dll.tree.entries()[0].size, 8u);
}

TEST(ResourceWriterTest, LanguagesAndStringTablesRoundTrip) {
  // Block 1 holds ids 0-15: id 1 is "Hi" in German, "Hello" neutral.
  auto block = [](const std::u16string& text) {
    Bytes b;
    for (int i = 0; i < 16; ++i) {
      const std::u16string s = i == 1 ? text : u"";
      b.push_back(static_cast<uint8_t>(s.size()));
      b.push_back(0);
      for (char16_t c : s) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
      }
    }
    return b;
  };
  const Bytes neutral = block(u"Hello"), german = block(u"Gr\u00fc\u00df");
  ResourceItem n{ResourceName::Id(kRtString),          ResourceName::Id(1), 0, 0, neutral.data(),
                 static_cast<uint32_t>(neutral.size())};
  ResourceItem g = n;
  g.language = 1031;
  g.bytes = german.data();
  g.size = static_cast<uint32_t>(german.size());
  WrittenDll dll;
  WriteAndRead({g, n}, &dll);
  std::u16string text;
  ASSERT_TRUE(LoadTableString(dll.tree, 1, 1031, &text));
  EXPECT_EQ(text::Utf16ToCp1252(text), "Gr\xfc\xdf");
  ASSERT_TRUE(LoadTableString(dll.tree, 1, 1036, &text));  // no French: neutral
  EXPECT_EQ(text, u"Hello");
  EXPECT_FALSE(LoadTableString(dll.tree, 2, 0, &text));   // empty slot
  EXPECT_FALSE(LoadTableString(dll.tree, 40, 0, &text));  // no such block
}

TEST(ResourceWriterTest, ChecksumMatchesTheLoaderAlgorithm) {
  const Bytes x = Blob(77, 5);
  WrittenDll dll;
  WriteAndRead({PayloadItem(u"x", x.data(), 77)}, &dll);
  const size_t checksum_offset = dll.pe.layout().optional_header_offset + 64;
  EXPECT_EQ(ReadU32(dll.image.data() + checksum_offset),
            ComputeImageChecksum(dll.image.data(), dll.image.size(), checksum_offset));
  EXPECT_EQ(dll.pe.size_of_image() % dll.pe.section_alignment(), 0u);
}

}  // namespace
}  // namespace corvane::pe
