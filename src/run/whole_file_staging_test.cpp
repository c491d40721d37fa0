#include "run/whole_file_staging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::Bytes;
using test::PayloadModule;
using test::ScratchDir;
using test::ToBytes;

class StagedWholeFilesTest : public ::testing::Test {
 protected:
  std::string Target(const std::string& relative) const { return dir_.SystemPath() + relative; }

  ScratchDir dir_;
  PayloadModule payload_{{{"ALL\\README.TXT", ToBytes("new readme")},
                          {"ALL\\MAPS\\COAST\\BAY.MAP", ToBytes("a bay")},
                          {"ADD\\README.TXT", ToBytes("add-on readme")}}};
};

TEST_F(StagedWholeFilesTest, StagedFilesAreTakenOnceByTheirOwnItem) {
  ASSERT_TRUE(payload_.ok());
  dir_.Write("README.TXT", "old readme");
  StagedWholeFiles staged;
  ASSERT_TRUE(
      staged.Stage(payload_.module(), "ALL\\README.TXT", Target("README.TXT"), dir_.SystemPath()));
  EXPECT_EQ(dir_.Read("README.TXT.part"), "new readme");
  EXPECT_EQ(dir_.Read("README.TXT"), "old readme") << "nothing installed changes";
  // One work file per target: a later pass's item for it is left to that pass.
  EXPECT_FALSE(
      staged.Stage(payload_.module(), "ADD\\README.TXT", Target("README.TXT"), dir_.SystemPath()));
  EXPECT_EQ(dir_.Read("README.TXT.part"), "new readme");

  EXPECT_FALSE(staged.Take("ADD\\README.TXT", Target("README.TXT")));
  EXPECT_TRUE(staged.Take("ALL\\README.TXT", Target("README.TXT")));
  EXPECT_FALSE(staged.Take("ALL\\README.TXT", Target("README.TXT")));
  staged.Discard();
  EXPECT_EQ(dir_.Read("README.TXT.part"), "new readme") << "a taken file is the taker's";
}

TEST_F(StagedWholeFilesTest, DiscardRemovesWhatWasNotTakenAndTheFoldersMadeForIt) {
  ASSERT_TRUE(payload_.ok());
  dir_.Write("MAPS/OLD.MAP", "there before");
  {
    StagedWholeFiles staged;
    ASSERT_TRUE(staged.Stage(payload_.module(), "ALL\\MAPS\\COAST\\BAY.MAP",
                             Target("MAPS\\COAST\\BAY.MAP"), dir_.SystemPath()));
    ASSERT_TRUE(staged.Stage(payload_.module(), "ALL\\README.TXT", Target("README.TXT"),
                             dir_.SystemPath()));
    EXPECT_EQ(dir_.Read("MAPS/COAST/BAY.MAP.part"), "a bay");
    EXPECT_EQ(staged.Count(), 2u);
  }  // the end of the run discards
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"MAPS"}));
  EXPECT_EQ(dir_.List("MAPS"), (std::vector<std::string>{"OLD.MAP"}));
}

TEST_F(StagedWholeFilesTest, NothingIsLeftWhenAFileCannotBeStaged) {
  ASSERT_TRUE(payload_.ok());
  // A file where a folder must be made, and an item the payload lacks.
  dir_.Write("MAPS", "a file, not a folder");
  StagedWholeFiles staged;
  EXPECT_FALSE(staged.Stage(payload_.module(), "ALL\\MAPS\\COAST\\BAY.MAP",
                            Target("MAPS\\COAST\\BAY.MAP"), dir_.SystemPath()));
  EXPECT_FALSE(
      staged.Stage(payload_.module(), "ALL\\NONE.TXT", Target("NONE.TXT"), dir_.SystemPath()));
  // A target outside the installation folder is never written.
  EXPECT_FALSE(staged.Stage(payload_.module(), "ALL\\README.TXT", "README.TXT", dir_.SystemPath()));
  EXPECT_EQ(staged.Count(), 0u);
  EXPECT_EQ(dir_.List(), (std::vector<std::string>{"MAPS"}));
  EXPECT_EQ(dir_.Read("MAPS"), "a file, not a folder");
}

}  // namespace
}  // namespace corvane
