// Our PE version parser against the system's version calls, file by file.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "pe/pe_image.h"
#include "pe/resource_tree.h"
#include "pe/version_resource.h"
#include "platform/file_version.h"
#include "platform/win32/win32_test_support.h"

namespace corvane::platform {
namespace {

// Empty for files that are no PE image (the 16-bit DLLs of the system folder).
std::string ParsedVersion(const std::vector<uint8_t>& bytes) {
  pe::PeImage image;
  pe::ResourceTree tree;
  if (!image.Parse(bytes.data(), bytes.size()) || !tree.Load(image)) return {};
  return pe::FileVersionOfImage(tree);
}

std::string ParsedVersion(const std::string& path) {
  return ParsedVersion(testing::ReadBytes(path));
}

// Whether the file's version resource holds a US English Unicode block key.
bool HoldsUsEnglishBlockKey(const std::vector<uint8_t>& bytes) {
  pe::PeImage image;
  pe::ResourceTree tree;
  if (!image.Parse(bytes.data(), bytes.size()) || !tree.Load(image)) return false;
  const pe::ResourceEntry* version = tree.Find(pe::ResourceName::Id(16), pe::ResourceName::Id(1));
  if (version == nullptr || version->bytes == nullptr) return false;
  for (const char* key : {"040904b0", "040904B0"}) {
    std::vector<uint8_t> wide;
    for (const char* c = key; *c != 0; ++c) wide.insert(wide.end(), {static_cast<uint8_t>(*c), 0});
    if (std::search(version->bytes, version->bytes + version->size, wide.begin(), wide.end()) !=
        version->bytes + version->size) {
      return true;
    }
  }
  return false;
}

TEST(Win32FileVersionTest, ParserAgreesWithTheSystemOnSystemFiles) {
  char system[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  size_t compared = 0, with_version = 0, other_language = 0;
  do {
    const std::string path = std::string(system) + "\\" + data.cFileName;
    const std::string expected = QueryFileVersion(path.c_str());
    const std::vector<uint8_t> bytes = testing::ReadBytes(path);
    const std::string parsed = ParsedVersion(bytes);
    if (parsed.empty() && !expected.empty() && !HoldsUsEnglishBlockKey(bytes)) {
      // Wine answers the query from another language's block when the file
      // has no US English one (its kernel32.dll keeps 040104b0); the system
      // we are built for, and our parser, give nothing then.
      ++other_language;
      continue;
    }
    EXPECT_EQ(parsed, expected) << path;
    ++compared;
    with_version += expected.empty() ? 0 : 1;
  } while (FindNextFileA(find, &data) && compared < 400);
  FindClose(find);
  EXPECT_GT(compared, 50u);
  EXPECT_GT(with_version, 10u);
  EXPECT_LT(other_language, 5u);
}

TEST(Win32FileVersionTest, ResourceCompilerFixtureGivesTheUsEnglishBlock) {
  const std::string fixture = testing::FixturePath();
  ASSERT_FALSE(fixture.empty());
  EXPECT_EQ(QueryFileVersion(fixture.c_str()), "1.02");
  EXPECT_EQ(ParsedVersion(fixture), "1.02");
}

TEST(Win32FileVersionTest, FilesWithoutVersionGiveEmptyText) {
  testing::Win32TempDir dir;
  ASSERT_TRUE(testing::WriteBytes(dir / "plain.exe", {'M', 'Z', 0, 0}));
  EXPECT_EQ(QueryFileVersion((dir / "plain.exe").c_str()), "");
  EXPECT_EQ(QueryFileVersion((dir / "missing.exe").c_str()), "");
}

}  // namespace
}  // namespace corvane::platform
