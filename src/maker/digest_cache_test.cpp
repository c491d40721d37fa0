// The CRC cache: an entry holds only while size and time are unchanged, it
// survives a save and load, and damaged lines are skipped.

#include "maker/crc_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace corvane::maker {
namespace {

TEST(CrcCache, EntriesHoldWhileSizeAndTimeStay) {
  const std::string path = (std::filesystem::temp_directory_path() / "maker-crc-cache" / "crc.txt").string();
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
  {
    CrcCache cache(path);
    uint32_t crc = 0;
    EXPECT_FALSE(cache.Find("/p/a b.dat", 10, 5, &crc));
    cache.Store("/p/a b.dat", 10, 5, 0xDEADBEEF);
    cache.Store("/p/c.dat", 0, -1, 1);
    ASSERT_TRUE(cache.Save());
  }
  { std::ofstream(path, std::ios::app) << "garbage line\n12 34\n"; }
  CrcCache loaded(path);
  uint32_t crc = 0;
  ASSERT_TRUE(loaded.Find("/p/a b.dat", 10, 5, &crc));  // a name with a space
  EXPECT_EQ(crc, 0xDEADBEEFu);
  EXPECT_FALSE(loaded.Find("/p/a b.dat", 11, 5, &crc));  // grown
  EXPECT_FALSE(loaded.Find("/p/a b.dat", 10, 6, &crc));  // touched
  ASSERT_TRUE(loaded.Find("/p/c.dat", 0, -1, &crc));
  EXPECT_EQ(crc, 1u);
  EXPECT_FALSE(loaded.Find("garbage line", 0, 0, &crc));
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}

}  // namespace
}  // namespace corvane::maker
