#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/file_io.h"
#include "platform/file_mapping.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

class FileServicesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(test_support::WriteTestFile(Path(name), text));
  }
  std::string Read(const std::string& name) { return test_support::ReadTestText(Path(name)); }

  test_support::ScratchFolder folder_{"file-services"};
  const fs::path& dir_ = folder_.path();
};

TEST_F(FileServicesTest, RenameReplacesAnExistingTarget) {
  Write("new.tmp", "new");
  Write("target", "old");
  EXPECT_TRUE(RenameReplacing(Path("new.tmp").c_str(), Path("target").c_str()));
  EXPECT_EQ(Read("target"), "new");
  EXPECT_FALSE(FileExists(Path("new.tmp").c_str()));
  EXPECT_FALSE(RenameReplacing(Path("missing").c_str(), Path("target").c_str()));
  EXPECT_EQ(Read("target"), "new");
}

TEST_F(FileServicesTest, RemoveExistsSizeAndTimes) {
  Write("a", "12345");
  uint64_t size = 0;
  EXPECT_TRUE(FileExists(Path("a").c_str()));
  EXPECT_TRUE(FileSizeOf(Path("a").c_str(), &size));
  EXPECT_EQ(size, 5u);
  int64_t first = 0, second = 0;
  ASSERT_TRUE(FileModificationTime(Path("a").c_str(), &first));
  Write("b", "x");
  fs::last_write_time(Path("b"), fs::last_write_time(Path("a")) + std::chrono::seconds(5));
  ASSERT_TRUE(FileModificationTime(Path("b").c_str(), &second));
  EXPECT_GT(second, first);
  EXPECT_TRUE(RemoveFile(Path("a").c_str()));
  EXPECT_FALSE(FileExists(Path("a").c_str()));
  EXPECT_FALSE(RemoveFile(Path("a").c_str()));
  EXPECT_FALSE(FileSizeOf(Path("a").c_str(), &size));
  EXPECT_FALSE(FileModificationTime(Path("a").c_str(), &first));
}

TEST_F(FileServicesTest, ReadOnlyAttributeRoundTrips) {
  Write("ro.txt", "x");
  EXPECT_FALSE(QueryFileAttributes(Path("ro.txt").c_str()).read_only);
  EXPECT_TRUE(SetReadOnly(Path("ro.txt").c_str(), true));
  FileAttributes attributes = QueryFileAttributes(Path("ro.txt").c_str());
  EXPECT_TRUE(attributes.exists);
  EXPECT_TRUE(attributes.read_only);
  EXPECT_FALSE(attributes.directory);
  EXPECT_TRUE(SetReadOnly(Path("ro.txt").c_str(), false));
  EXPECT_FALSE(QueryFileAttributes(Path("ro.txt").c_str()).read_only);
  EXPECT_FALSE(QueryFileAttributes(Path("none").c_str()).exists);
  EXPECT_FALSE(SetReadOnly(Path("none").c_str(), true));
}

TEST_F(FileServicesTest, MakeDirectoryAcceptsAnExistingOne) {
  EXPECT_TRUE(MakeDirectory(Path("sub").c_str()));
  EXPECT_TRUE(MakeDirectory(Path("sub").c_str()));
  EXPECT_TRUE(QueryFileAttributes(Path("sub").c_str()).directory);
  EXPECT_FALSE(FileExists(Path("sub").c_str()));
  Write("file", "x");
  EXPECT_FALSE(MakeDirectory(Path("file").c_str()));
  EXPECT_FALSE(MakeDirectory(Path("no/such/parent").c_str()));
}

TEST_F(FileServicesTest, RemoveEmptyDirectoryLeavesAnythingWithContent) {
  ASSERT_TRUE(MakeDirectory(Path("full").c_str()));
  Write("full/x", "x");
  EXPECT_FALSE(RemoveEmptyDirectory(Path("full").c_str()));
  EXPECT_EQ(Read("full/x"), "x");
  Write("plain", "x");
  EXPECT_FALSE(RemoveEmptyDirectory(Path("plain").c_str()));
  EXPECT_TRUE(FileExists(Path("plain").c_str()));
  ASSERT_TRUE(MakeDirectory(Path("empty").c_str()));
  EXPECT_TRUE(RemoveEmptyDirectory(Path("empty").c_str()));
  EXPECT_FALSE(QueryFileAttributes(Path("empty").c_str()).exists);
  EXPECT_FALSE(RemoveEmptyDirectory(Path("empty").c_str()));
}

TEST_F(FileServicesTest, FreeSpaceIsKnownForExistingAndNewPaths) {
  uint64_t free_bytes = 0;
  EXPECT_TRUE(FreeDiskSpace(dir_.string().c_str(), &free_bytes));
  EXPECT_GT(free_bytes, 0u);
}

// A name relative to the current folder becomes the path of the same file
// from anywhere.
TEST_F(FileServicesTest, AbsolutePathNamesTheSameFileFromAnywhere) {
  Write("patch.log", "the log");
  std::string absolute;
  {
    test_support::ScopedCurrentDirectory here(dir_);
    absolute = AbsolutePath("patch.log");
  }
  EXPECT_NE(absolute, "patch.log");
  EXPECT_EQ(absolute.substr(absolute.size() - 9), "patch.log");
  EXPECT_EQ(test_support::ReadTestText(absolute), "the log");
  EXPECT_EQ(AbsolutePath(nullptr), "");
}

TEST_F(FileServicesTest, StoredNameIgnoresLetterCase) {
  Write("MixedCase.Vbk", "x");
  std::string stored;
  ASSERT_TRUE(StoredFileName(Path("mixedcase.VBK").c_str(), &stored));
  EXPECT_EQ(stored, "MixedCase.Vbk");
  EXPECT_FALSE(StoredFileName(Path("other.vbk").c_str(), &stored));
}

TEST_F(FileServicesTest, MappedViewsReadTheFileAtGranularOffsets) {
  const uint32_t granularity = AllocationGranularity();
  ASSERT_GT(granularity, 0u);
  EXPECT_EQ(granularity & (granularity - 1), 0u);
  std::string text(2 * granularity + 3, 'a');
  text[granularity] = 'B';
  text.back() = 'Z';
  Write("m", text);
  MapHandle file = OpenFileForMapping(Path("m").c_str());
  ASSERT_NE(file, kNoMapHandle);
  uint64_t size = 0;
  EXPECT_TRUE(MappedFileSize(file, &size));
  EXPECT_EQ(size, text.size());
  MapHandle mapping = CreateReadOnlyMapping(file);
  ASSERT_NE(mapping, kNoMapHandle);
  EXPECT_TRUE(CloseMappedFileHandle(file));  // the mapping outlives the file handle
  const uint8_t* view = MapView(mapping, granularity, granularity + 3);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 'B');
  ReleaseViewPages(view, granularity + 3);
  EXPECT_EQ(view[granularity + 2], 'Z');  // still readable after the hint
  EXPECT_TRUE(CloseMapping(mapping));
  EXPECT_EQ(view[0], 'B');  // and after the handles are gone
  UnmapView(view, granularity + 3);

  Write("empty", "");
  MapHandle empty = OpenFileForMapping(Path("empty").c_str());
  ASSERT_NE(empty, kNoMapHandle);
  EXPECT_EQ(CreateReadOnlyMapping(empty), kNoMapHandle);
  EXPECT_TRUE(CloseMappedFileHandle(empty));
  EXPECT_EQ(OpenFileForMapping(Path("missing").c_str()), kNoMapHandle);
  EXPECT_EQ(OpenFileForMapping(dir_.string().c_str()), kNoMapHandle);
}

#ifndef _WIN32
TEST_F(FileServicesTest, LinksAreNeverWrittenOrChangedThrough) {
  Write("outside", "keep");
  fs::permissions(Path("outside"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(Path("outside"), Path("link"));
  fs::create_symlink(Path("nowhere"), Path("dangling"));

  // Exclusive creation refuses a link, even one to nothing.
  EXPECT_FALSE(IsValidFileHandle(FileCreateNew(Path("link").c_str())));
  EXPECT_FALSE(IsValidFileHandle(FileCreateNew(Path("dangling").c_str())));
  EXPECT_FALSE(fs::exists(Path("nowhere")));
  // The read-only attribute is never set through a link.
  EXPECT_FALSE(SetReadOnly(Path("link").c_str(), true));
  EXPECT_EQ(fs::status(Path("outside")).permissions() & fs::perms::owner_write,
            fs::perms::owner_write);
  FileAttributes link = QueryFileAttributes(Path("link").c_str());
  EXPECT_TRUE(link.exists && link.link);
  FileAttributes dangling = QueryFileAttributes(Path("dangling").c_str());
  EXPECT_TRUE(dangling.exists && dangling.link);
  // Removing a link removes the link.
  EXPECT_TRUE(RemoveFile(Path("link").c_str()));
  EXPECT_TRUE(RemoveFile(Path("dangling").c_str()));
  EXPECT_EQ(Read("outside"), "keep");

  FileHandle created = FileCreateNew(Path("new").c_str());
  ASSERT_TRUE(IsValidFileHandle(created));
  EXPECT_TRUE(FileClose(created));
  EXPECT_FALSE(IsValidFileHandle(FileCreateNew(Path("new").c_str())));
}
#endif

}  // namespace
}  // namespace corvane::platform
