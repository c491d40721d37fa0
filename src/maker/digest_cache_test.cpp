// File digests and their cache: an entry holds only while size and time are
// unchanged, it survives a save and load, and damaged lines or a file of
// another layout are not taken. The content hash tells apart what CRC-32
// alone might not, however the bytes are fed in.

#include "maker/digest_cache.h"

#include <gtest/gtest.h>

#include <fstream>

#include "maker/content_hash.h"
#include "maker/file_digest.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane::maker {
namespace {

TEST(DigestCache, EntriesHoldWhileSizeAndTimeStay) {
  test_support::ScratchFolder folder("digest-cache");
  const std::string path = folder / "digests.txt";
  const FileDigest a{10, 0xDEADBEEF, 0x0123456789ABCDEFull}, c{0, 1, 2};
  {
    DigestCache cache(path);
    FileDigest found;
    EXPECT_FALSE(cache.Find("/p/a b.dat", 10, 5, &found));
    cache.Store("/p/a b.dat", 5, a);
    cache.Store("/p/c.dat", -1, c);
    ASSERT_TRUE(cache.Save());
  }
  { std::ofstream(path, std::ios::app) << "garbage line\n12 34 5\n"; }
  DigestCache loaded(path);
  FileDigest found;
  ASSERT_TRUE(loaded.Find("/p/a b.dat", 10, 5, &found));  // a name with a space
  EXPECT_EQ(found, a);
  EXPECT_FALSE(loaded.Find("/p/a b.dat", 11, 5, &found));  // grown
  EXPECT_FALSE(loaded.Find("/p/a b.dat", 10, 6, &found));  // touched
  ASSERT_TRUE(loaded.Find("/p/c.dat", 0, -1, &found));
  EXPECT_EQ(found, c);
  EXPECT_FALSE(loaded.Find("garbage line", 0, 0, &found));

  // A file without the header line (an older layout) is an empty cache.
  { std::ofstream(path, std::ios::trunc) << "5 10 deadbeef /p/a.dat\n"; }
  DigestCache foreign(path);
  EXPECT_FALSE(foreign.Find("/p/a.dat", 10, 5, &found));
}

uint64_t HashOf(const std::string& text) {
  ContentHash hash;
  hash.Update(text);
  return hash.Value();
}

TEST(ContentHash, PiecesDoNotMatterButEveryByteDoes) {
  std::string text(1000, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 131 + 7);
  const uint64_t whole = HashOf(text);
  for (size_t split : {1u, 3u, 7u, 8u, 9u, 500u, 999u}) {
    ContentHash pieces;
    pieces.Update(text.data(), split);
    pieces.Update(text.data() + split, 1);
    pieces.Update(text.data() + split + 1, text.size() - split - 1);
    EXPECT_EQ(pieces.Value(), whole) << split;
  }
  for (size_t at : {0u, 7u, 8u, 996u, 999u}) {
    std::string changed = text;
    changed[at] ^= 0x40;
    EXPECT_NE(HashOf(changed), whole) << at;
  }
  // Trailing zero bytes and moved field borders count.
  EXPECT_NE(HashOf(std::string(3, '\0')), HashOf(std::string(4, '\0')));
  EXPECT_NE(HashOf(""), HashOf(std::string(1, '\0')));
  ContentHash ab_c, a_bc;
  ab_c.UpdateField("ab");
  ab_c.UpdateField("c");
  a_bc.UpdateField("a");
  a_bc.UpdateField("bc");
  EXPECT_NE(ab_c.Value(), a_bc.Value());
}

TEST(FileDigest, SameBytesSameDigestAndCrcAsTheListsHoldIt) {
  test_support::ScratchFolder dir("file-digest");
  ASSERT_TRUE(test_support::WriteTestFile(dir / "a", "123456789"));
  ASSERT_TRUE(test_support::WriteTestFile(dir / "b", "123456789"));
  ASSERT_TRUE(test_support::WriteTestFile(dir / "c", "123456780"));
  FileDigest a, b, c, missing;
  ASSERT_TRUE(DigestOfFile(dir / "a", &a));
  ASSERT_TRUE(DigestOfFile(dir / "b", &b));
  ASSERT_TRUE(DigestOfFile(dir / "c", &c));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(a.size, 9u);
  EXPECT_EQ(a.crc, 0xFC891918u);  // CRC-32/BZIP2 check value
  EXPECT_EQ(a.hash, HashOf("123456789"));
  EXPECT_FALSE(DigestOfFile(dir / "none", &missing));
}

}  // namespace
}  // namespace corvane::maker
