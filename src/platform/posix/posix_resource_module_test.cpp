#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <vector>

#include "pe/native_trailer.h"
#include "pe/pe_format.h"
#include "pe/resource_writer.h"
#include "platform/posix/posix_test_dir.h"
#include "platform/resource_module.h"
#include "support/result_assertions.h"

namespace corvane::platform {
namespace {

using testing::ScopedTempDir;

std::string MakePayloadDll(const std::vector<std::pair<std::u16string, std::string>>& files) {
  std::vector<pe::ResourceItem> items;
  items.reserve(files.size());
  for (const auto& [name, data] : files) {
    items.push_back(pe::PayloadItem(name, reinterpret_cast<const uint8_t*>(data.data()),
                                    static_cast<uint32_t>(data.size())));
  }
  static const std::string key = "key-bytes";
  pe::ResourceItem numbered = pe::PayloadItem(u"", reinterpret_cast<const uint8_t*>(key.data()), 9);
  numbered.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  items.push_back(numbered);
  std::vector<uint8_t> image;
  EXPECT_TRUE(Succeeded(pe::WriteResourceDll(items, &image)));
  return std::string(image.begin(), image.end());
}

const std::vector<std::pair<std::u16string, std::string>> kFiles = {
    {u"version.cfg", "manifest"},
    {u"crc\\1.01\\crc.crc", "crc list"},
    {u"All\\Veska.exe.#Kestrel", std::string(3000, 'x')},
    {u"Add\\empty", ""},
};

TEST(PosixResourceModuleTest, FindsPayloadInAnyCaseAndListsItAscending) {
  ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteTestFile(dir / "payload.dll", MakePayloadDll(kFiles)));
  ResourceModule module;
  // A Windows path in another letter case finds the file too.
  ASSERT_TRUE(module.OpenFile((dir.path() + "\\PAYLOAD.DLL").c_str()));
  uint32_t size = 0;
  const uint8_t* bytes = module.FindRawData("VERSION.cfg", &size);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), "manifest");
  ASSERT_NE(module.FindRawData("CRC\\1.01\\crc.crc", &size), nullptr);
  EXPECT_EQ(size, 8u);
  ASSERT_NE(module.FindRawData("add\\EMPTY", &size), nullptr);
  EXPECT_EQ(size, 0u);
  size = 77;
  EXPECT_EQ(module.FindRawData("missing", &size), nullptr);
  EXPECT_EQ(size, 77u);  // not written when missing
  EXPECT_EQ(module.FindRawData(std::string(600, 'A').c_str(), &size), nullptr);
  ASSERT_NE(module.FindRawDataById(pe::kPublicKeyResourceId, &size), nullptr);
  EXPECT_EQ(size, 9u);

  std::vector<std::string> names;
  EXPECT_TRUE(module.EnumerateRawDataNames([&](const char* name) {
    names.emplace_back(name);
    return true;
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"ADD\\EMPTY", "ALL\\VESKA.EXE.#KESTREL",
                                             "CRC\\1.01\\CRC.CRC", "VERSION.CFG"}));
  int visits = 0;
  EXPECT_FALSE(module.EnumerateRawDataNames([&](const char*) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);
}

TEST(PosixResourceModuleTest, FilesThatAreNoModuleDoNotOpen) {
  ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteTestFile(dir / "text.dll", "just text"));
  ASSERT_TRUE(testing::WriteTestFile(dir / "empty.dll", ""));
  ResourceModule module;
  EXPECT_FALSE(module.OpenFile((dir / "text.dll").c_str()));
  EXPECT_FALSE(module.OpenFile((dir / "empty.dll").c_str()));
  EXPECT_FALSE(module.OpenFile((dir / "missing.dll").c_str()));
  EXPECT_FALSE(module.OpenFile(dir.path().c_str()));
  EXPECT_FALSE(module.is_open());
  uint32_t size = 0;
  EXPECT_EQ(module.FindRawData("VERSION.CFG", &size), nullptr);
}

// The payload of a native patcher is the PE image appended to its own file.
// This test copies its own program, appends a payload and runs the copy with
// CORVANE_SELF_PAYLOAD_CHILD set: the copy then runs only this test, which
// checks what OpenSelf finds.
TEST(PosixResourceModuleTest, OpenSelfFindsThePayloadAppendedToTheProgram) {
  if (std::getenv("CORVANE_SELF_PAYLOAD_CHILD") != nullptr) {
    ResourceModule module;
    ASSERT_TRUE(module.OpenSelf());
    uint32_t size = 0;
    const uint8_t* bytes = module.FindRawData("version.cfg", &size);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), size), "manifest");
    return;
  }
  ResourceModule plain;
  EXPECT_FALSE(plain.OpenSelf());  // this program carries no payload

  ScopedTempDir dir;
  const std::string program = testing::ReadTestText("/proc/self/exe");
  const std::string payload = MakePayloadDll(kFiles);
  const std::vector<uint8_t> patched =
      pe::AppendNativePayload(reinterpret_cast<const uint8_t*>(program.data()), program.size(),
                              reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
  const std::string copy = dir / "patcher";
  ASSERT_TRUE(testing::WriteTestFile(copy, std::string(patched.begin(), patched.end())));
  chmod(copy.c_str(), 0700);
  const std::string command = "CORVANE_SELF_PAYLOAD_CHILD=1 '" + copy +
                              "' --gtest_filter=PosixResourceModuleTest.OpenSelf* >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PosixResourceModuleTest, LoadsStringsByLanguageWithNeutralFallback) {
  auto block = [](const std::u16string& text) {
    std::string b;
    for (int i = 0; i < 16; ++i) {
      const std::u16string s = i == 5 ? text : u"";
      b += static_cast<char>(s.size());
      b += '\0';
      for (char16_t c : s) {
        b += static_cast<char>(c & 0xFF);
        b += static_cast<char>(c >> 8);
      }
    }
    return b;
  };
  const std::string neutral = block(u"File %s is missing."),
                    german = block(u"Datei %s fehlt \u00fc");
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
  ScopedTempDir dir;
  ASSERT_TRUE(testing::WriteTestFile(dir / "strings.dll", std::string(image.begin(), image.end())));
  ResourceModule module;
  ASSERT_TRUE(module.OpenFile((dir / "strings.dll").c_str()));
  std::string text;
  ASSERT_TRUE(module.LoadStringText(21, 1031, &text));
  EXPECT_EQ(text, "Datei %s fehlt \xfc");
  ASSERT_TRUE(module.LoadStringText(21, 1040, &text));
  EXPECT_EQ(text, "File %s is missing.");
  ASSERT_TRUE(module.LoadStringText(21, 0, &text));
  EXPECT_EQ(text, "File %s is missing.");
  EXPECT_FALSE(module.LoadStringText(20, 0, &text));
}

}  // namespace
}  // namespace corvane::platform
