// What every backend's resource module must do with images our PE writer
// makes. The program's own module is tried in the backends' own tests (posix:
// a payload appended to a copy of the program; win32: a stub with a payload
// section, run).

#include "platform/resource_module.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pe/pe_format.h"
#include "pe/resource_writer.h"
#include "platform/resource_module_test_payload.h"
#include "support/result_assertions.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::platform {
namespace {

using test_support::ScratchFolder;
using test_support::WriteTestFile;
using testing::ExpectPayloadFound;
using testing::PayloadDll;
using testing::SamplePayload;

TEST(ResourceModuleTest, FindsPayloadInAnyCaseAndListsItAscending) {
  const std::vector<uint8_t> key(148, 0x42);
  ScratchFolder dir("resource-module");
  ASSERT_TRUE(WriteTestFile(dir / "payload.dll", PayloadDll(SamplePayload(), key)));
  ResourceModule module;
  // A Windows path in another letter case finds the file too.
  ASSERT_TRUE(module.OpenFile((dir.text() + "\\PAYLOAD.DLL").c_str()));
  EXPECT_TRUE(module.is_open());
  ExpectPayloadFound(module, SamplePayload());

  std::vector<std::string> names;
  EXPECT_TRUE(module.EnumerateRawDataNames([&](const char* name) {
    names.emplace_back(name);
    return true;
  }));
  EXPECT_EQ(names,
            (std::vector<std::string>{"1.00-1.01\\ADDONS\\UI.VBK.UPD", "ADD\\CAF\xc9",
                                      "ADD\\CAF\xc9X", "ADD\\EMPTY", "ADD\\_UNDER_SCORE",
                                      "ADD\\\xdf\xde", "ALL\\VESKA.EXE.#KESTREL",
                                      "CRC\\1.01\\CRC.CRC", "VERSION.CFG", "VERSION.CFG.SIGN"}));
  int visits = 0;
  EXPECT_FALSE(module.EnumerateRawDataNames([&](const char*) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);

  uint32_t size = 77;
  EXPECT_EQ(module.FindRawData("missing", &size), nullptr);
  EXPECT_EQ(size, 77u);  // not written when missing
  EXPECT_EQ(module.FindRawData(std::string(600, 'A').c_str(), &size), nullptr);
  EXPECT_EQ(size, 77u);
  const uint8_t* found = module.FindRawDataById(pe::kPublicKeyResourceId, &size);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(found, found + size), key);
  EXPECT_EQ(module.FindRawDataById(pe::kPublicKeyResourceId + 1, &size), nullptr);

  module.Close();
  EXPECT_FALSE(module.is_open());
  EXPECT_EQ(module.FindRawData("version.cfg", &size), nullptr);
}

TEST(ResourceModuleTest, FilesThatAreNoModuleDoNotOpen) {
  ScratchFolder dir("resource-module");
  ASSERT_TRUE(WriteTestFile(dir / "text.dll", "just text"));
  ASSERT_TRUE(WriteTestFile(dir / "empty.dll", ""));
  ASSERT_TRUE(WriteTestFile(dir / "payload.dll", PayloadDll(SamplePayload(), {1, 2, 3})));
  ResourceModule module;
  ASSERT_TRUE(module.OpenFile((dir / "payload.dll").c_str()));
  // A failed open closes what was open before.
  EXPECT_FALSE(module.OpenFile((dir / "text.dll").c_str()));
  EXPECT_FALSE(module.is_open());
  EXPECT_FALSE(module.OpenFile((dir / "empty.dll").c_str()));
  EXPECT_FALSE(module.OpenFile((dir / "missing.dll").c_str()));
  EXPECT_FALSE(module.OpenFile(dir.text().c_str()));
  EXPECT_FALSE(module.is_open());
  uint32_t size = 0;
  EXPECT_EQ(module.FindRawData("VERSION.CFG", &size), nullptr);
  EXPECT_EQ(module.FindRawDataById(pe::kPublicKeyResourceId, &size), nullptr);
}

// A string table block (16 strings) holding `text` as its sixth string.
std::string StringBlock(const std::u16string& text) {
  std::string block;
  for (int i = 0; i < 16; ++i) {
    const std::u16string s = i == 5 ? text : u"";
    block += static_cast<char>(s.size());
    block += '\0';
    for (char16_t c : s) {
      block += static_cast<char>(c & 0xFF);
      block += static_cast<char>(c >> 8);
    }
  }
  return block;
}

TEST(ResourceModuleTest, LoadsStringsByLanguageWithNeutralFallback) {
  const std::string neutral = StringBlock(u"File %s is missing."),
                    german = StringBlock(u"Datei %s fehlt \u00fc");
  pe::ResourceItem n{pe::ResourceName::Id(pe::kRtString),
                     pe::ResourceName::Id(2),
                     0,
                     0,
                     reinterpret_cast<const uint8_t*>(neutral.data()),
                     static_cast<uint32_t>(neutral.size())};
  pe::ResourceItem g = n;
  g.language = 1031;
  g.bytes = reinterpret_cast<const uint8_t*>(german.data());
  g.size = static_cast<uint32_t>(german.size());
  std::vector<uint8_t> image;
  ASSERT_TRUE(Succeeded(pe::WriteResourceDll({n, g}, &image)));
  ScratchFolder dir("resource-module");
  ASSERT_TRUE(WriteTestFile(dir / "strings.dll", image));
  ResourceModule module;
  ASSERT_TRUE(module.OpenFile((dir / "strings.dll").c_str()));
  std::string text;
  ASSERT_TRUE(module.LoadStringText(21, 1031, &text));
  EXPECT_EQ(text, "Datei %s fehlt \xfc");
  ASSERT_TRUE(module.LoadStringText(21, 1040, &text));
  EXPECT_EQ(text, "File %s is missing.");
  ASSERT_TRUE(module.LoadStringText(21, 0, &text));
  EXPECT_EQ(text, "File %s is missing.");
  EXPECT_FALSE(module.LoadStringText(20, 0, &text));  // empty in the block
  EXPECT_FALSE(module.LoadStringText(40, 0, &text));  // no such block
}

}  // namespace
}  // namespace corvane::platform
