#include "platform/win32/win32_long_path.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_mapping.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/win32/win32_test_support.h"

namespace corvane::platform {
namespace {

using testing::Win32TempDir;

TEST(Win32LongPathTest, OnlyLongPathsTakeTheVerbatimForm) {
  EXPECT_EQ(WidePath(nullptr), L"");
  EXPECT_EQ(WidePath("C:\\Games\\Caf\xe9\\x.dat"), L"C:\\Games\\Caf\u00e9\\x.dat");
  EXPECT_EQ(WidePath("patch.log"), L"patch.log");  // relative, short: as it was

  const std::string folder(300, 'a');
  // Made absolute and clean first: the verbatim form takes the path as written.
  EXPECT_EQ(WidePath(("C:\\Games/" + folder + "\\.\\sub\\..\\x.dat").c_str()),
            L"\\\\?\\C:\\Games\\" + std::wstring(300, L'a') + L"\\x.dat");
  EXPECT_EQ(WidePath(("\\\\server\\share\\" + folder).c_str()),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'a'));
  const std::wstring verbatim = L"\\\\?\\C:\\" + std::wstring(300, L'b');
  EXPECT_EQ(WidePath(("\\\\?\\C:\\" + std::string(300, 'b')).c_str()), verbatim);
}

// An installation folder of 259 characters, and the files in it: every file
// service of the backend reaches them. The ANSI calls stopped at 260.
TEST(Win32LongPathTest, FileServicesWorkBelowA259CharacterFolder) {
  Win32TempDir temp;
  std::string folder = temp / "";
  folder.pop_back();
  std::vector<std::string> levels;
  while (folder.size() < 259) {
    const size_t room = 259 - folder.size() - 1;
    folder += "\\" + std::string(room < 40 ? room : 40, 'd');
    if (folder.back() == '\\') folder += 'e';
    levels.push_back(folder);
    ASSERT_TRUE(MakeDirectory(folder.c_str())) << folder.size();
  }
  ASSERT_EQ(folder.size(), 259u);
  ASSERT_TRUE(MakeDirectory((folder + "\\DATA").c_str()));
  levels.push_back(folder + "\\DATA");

  const std::string file = folder + "\\DATA\\LEVELS.DAT";
  const std::string temporary = file + ".tmp";
  FileHandle out = FileOpenWrite(temporary.c_str());
  ASSERT_TRUE(IsValidFileHandle(out));
  const char bytes[] = "level data";
  EXPECT_EQ(FileWrite(out, bytes, sizeof bytes), static_cast<uint32_t>(sizeof bytes));
  ASSERT_TRUE(FileClose(out));
  ASSERT_TRUE(RenameReplacing(temporary.c_str(), file.c_str()));
  EXPECT_FALSE(FileExists(temporary.c_str()));

  EXPECT_TRUE(FileExists(file.c_str()));
  uint64_t size = 0;
  ASSERT_TRUE(FileSizeOf(file.c_str(), &size));
  EXPECT_EQ(size, sizeof bytes);
  int64_t time = 0;
  EXPECT_TRUE(FileModificationTime(file.c_str(), &time));
  std::string stored;
  ASSERT_TRUE(StoredFileName((folder + "\\data\\levels.dat").c_str(), &stored));
  EXPECT_EQ(stored, "LEVELS.DAT");
  uint64_t free_bytes = 0;
  EXPECT_TRUE(FreeDiskSpace(folder.c_str(), &free_bytes));

  FileHandle in = FileOpenRead(file.c_str());
  ASSERT_TRUE(IsValidFileHandle(in));
  char back[sizeof bytes] = {};
  EXPECT_EQ(FileReadAt(in, 0, back, sizeof back), static_cast<int64_t>(sizeof bytes));
  EXPECT_STREQ(back, bytes);
  FileClose(in);

  MapHandle mapped = OpenFileForMapping(file.c_str());
  ASSERT_NE(mapped, kNoMapHandle);
  EXPECT_TRUE(CloseMappedFileHandle(mapped));

  ASSERT_TRUE(SetReadOnly(file.c_str(), true));
  EXPECT_TRUE(QueryFileAttributes(file.c_str()).read_only);
  ASSERT_TRUE(SetReadOnly(file.c_str(), false));
  // The game's executable in that folder: its version is read.
  const std::string fixture = testing::FixturePath();
  const std::string game = folder + "\\GAME.EXE";
  if (!fixture.empty()) {
    const std::vector<uint8_t> image = testing::ReadBytes(fixture);
    ASSERT_FALSE(image.empty());
    FileHandle exe = FileOpenWrite(game.c_str());
    ASSERT_TRUE(IsValidFileHandle(exe));
    EXPECT_EQ(FileWrite(exe, image.data(), static_cast<uint32_t>(image.size())), image.size());
    ASSERT_TRUE(FileClose(exe));
    EXPECT_EQ(QueryFileVersion(game.c_str()), "1.02");
    EXPECT_TRUE(RemoveFile(game.c_str()));
  }

  EXPECT_TRUE(RemoveFile(file.c_str()));
  EXPECT_FALSE(FileExists(file.c_str()));
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    EXPECT_TRUE(RemoveDirectoryW(WidePath(level->c_str()).c_str())) << level->size();
  }
}

}  // namespace
}  // namespace corvane::platform
