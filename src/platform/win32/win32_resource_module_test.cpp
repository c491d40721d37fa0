// Images written by our PE writer, loaded by the system as data files.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "pe/pe_format.h"
#include "pe/resource_injector.h"
#include "pe/resource_writer.h"
#include "platform/resource_module.h"
#include "platform/win32/win32_test_support.h"
#include "support/result_assertions.h"
#include "text/code_page_1252.h"

namespace corvane::platform {
namespace {

struct PayloadFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<PayloadFile> SamplePayload() {
  std::vector<PayloadFile> files = {
      {"version.cfg", {'c', 'f', 'g'}},
      {"version.cfg.sign", std::vector<uint8_t>(128, 0x5A)},
      {"crc\\1.01\\crc.crc", {1, 2, 3, 4, 5}},
      {"1.00-1.01\\addons\\ui.vbk.upd", std::vector<uint8_t>(70000)},
      {"All\\Veska.exe.#Kestrel", {9}},
      {"Add\\_under_score", {7, 7}},
      {"Add\\empty", {}},
      // Letters beyond ASCII: stored as "CAF\xc9" and sorted as such, so the
      // system's case-blind binary search finds either case.
      {"Add\\caf\xe9", {1}},
      {"Add\\CAF\xc9x", {2}},
      {"Add\\\xdf\xfe", {3}},
  };
  for (size_t i = 0; i < files[3].bytes.size(); ++i)
    files[3].bytes[i] = static_cast<uint8_t>(i * 31);
  return files;
}

std::vector<pe::ResourceItem> Items(const std::vector<PayloadFile>& files) {
  std::vector<pe::ResourceItem> items;
  for (const PayloadFile& file : files) {
    items.push_back(pe::PayloadItem(text::Cp1252ToUtf16(file.name), file.bytes.data(),
                                    static_cast<uint32_t>(file.bytes.size())));
  }
  return items;
}

std::string Upper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

void ExpectPayloadFound(const ResourceModule& module, const std::vector<PayloadFile>& files) {
  for (const PayloadFile& file : files) {
    for (const std::string& name : {file.name, Upper(file.name), Lower(file.name)}) {
      uint32_t size = 0xFFFFFFFF;
      const uint8_t* bytes = module.FindRawData(name.c_str(), &size);
      if (file.bytes.empty()) {
        EXPECT_EQ(size, 0u) << name;
        continue;
      }
      ASSERT_NE(bytes, nullptr) << name;
      ASSERT_EQ(size, file.bytes.size()) << name;
      EXPECT_TRUE(std::equal(file.bytes.begin(), file.bytes.end(), bytes)) << name;
    }
  }
  // The system's enumeration lists every name once, ascending by upper case.
  std::vector<std::u16string> stored;
  for (const PayloadFile& file : files)
    stored.push_back(text::NameUpper(text::Cp1252ToUtf16(file.name)));
  std::sort(stored.begin(), stored.end());
  std::vector<std::string> expected;
  for (const std::u16string& name : stored) expected.push_back(text::Utf16ToCp1252(name));
  std::vector<std::string> listed;
  EXPECT_TRUE(module.EnumerateRawDataNames([&](const char* name) {
    listed.push_back(name);
    return true;
  }));
  EXPECT_EQ(listed, expected);
}

TEST(Win32ResourceModuleTest, SystemLoadsOurPayloadDll) {
  const std::vector<PayloadFile> files = SamplePayload();
  std::vector<pe::ResourceItem> items = Items(files);
  const std::vector<uint8_t> key(148, 0x42);
  pe::ResourceItem numbered = pe::PayloadItem(u"", key.data(), 148);
  numbered.name = pe::ResourceName::Id(pe::kPublicKeyResourceId);
  items.push_back(numbered);
  std::vector<uint8_t> image;
  ASSERT_TRUE(Succeeded(pe::WriteResourceDll(items, &image)));
  testing::Win32TempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir / "payload.dll", image));

  ResourceModule module;
  ASSERT_TRUE(module.OpenFile((dir / "payload.dll").c_str()));
  ExpectPayloadFound(module, files);
  uint32_t size = 0;
  const uint8_t* found = module.FindRawDataById(pe::kPublicKeyResourceId, &size);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(found, found + size), key);
  uint32_t untouched = 5;
  EXPECT_EQ(module.FindRawData("missing", &untouched), nullptr);
  EXPECT_EQ(untouched, 5u);
  int visits = 0;
  EXPECT_FALSE(module.EnumerateRawDataNames([&](const char*) { return ++visits < 3; }));
  EXPECT_EQ(visits, 3);
}

TEST(Win32ResourceModuleTest, StubWithAddedPayloadRunsAndFindsBoth) {
  const std::string fixture = testing::FixturePath();
  ASSERT_FALSE(fixture.empty());
  const std::vector<uint8_t> stub = testing::ReadBytes(fixture);
  ASSERT_FALSE(stub.empty()) << fixture;
  const std::vector<PayloadFile> files = SamplePayload();
  std::vector<uint8_t> patched;
  ASSERT_TRUE(Succeeded(pe::AddResourceSection(stub.data(), stub.size(), Items(files), &patched)));
  testing::Win32TempDir dir;
  const std::string exe = dir / "patcher.exe";
  ASSERT_TRUE(testing::WriteBytes(exe, patched));

  // Loaded as a data file: the stub's own named resources are listed too.
  {
    ResourceModule module;
    ASSERT_TRUE(module.OpenFile(exe.c_str()));
    std::vector<PayloadFile> all = files;
    all.push_back({"LOWER.NAME", {'s', 't', 'u', 'b'}});
    all.push_back({"STUBDATA", {'s', 't', 'u', 'b'}});
    ExpectPayloadFound(module, all);
    std::string text;
    ASSERT_TRUE(module.LoadStringText(17, 0, &text));
    EXPECT_EQ(text, "Second block");
  }

  // Run: the stub checks its own resources and the named payload sizes.
  std::string command =
      "\"" + exe + "\" version.cfg 3 1.00-1.01\\addons\\ui.vbk.upd 70000 ALL\\VESKA.EXE.#KESTREL 1";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD exit_code = 99;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(exit_code, 0u);
}

TEST(Win32ResourceModuleTest, FileThatIsNoModuleDoesNotLoad) {
  testing::Win32TempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir / "text.dll", {'h', 'e', 'l', 'l', 'o'}));
  ResourceModule module;
  EXPECT_FALSE(module.OpenFile((dir / "text.dll").c_str()));
  EXPECT_FALSE(module.OpenFile((dir / "missing.dll").c_str()));
  EXPECT_FALSE(module.is_open());
  EXPECT_TRUE(module.OpenSelf());
}

}  // namespace
}  // namespace corvane::platform
