#include "run/run_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::ScratchDir;

RunJournal Sample() { return RunJournal{"1.03", "1.00", "#GOLD", 2}; }

bool Parse(const std::string& text, RunJournal* journal) {
  return ParseRunJournal(text.data(), text.size(), journal);
}

TEST(RunJournalTest, TextRoundTripsWithAndWithoutDistribution) {
  for (const RunJournal& journal : {Sample(), RunJournal{"2.10", "2.07", "", 0},
                                    RunJournal{"1.5", "1.0.0.4 (build 7)", "a b", 1000}}) {
    std::string text = FormatRunJournal(journal);
    ASSERT_FALSE(text.empty());
    RunJournal read;
    ASSERT_TRUE(Parse(text, &read)) << text;
    EXPECT_EQ(read, journal);
  }
}

TEST(RunJournalTest, AnythingButTheExactFormIsNoJournal) {
  const std::string good = FormatRunJournal(Sample());
  RunJournal untouched{"9.99", "9.98", "", 7};
  RunJournal journal = untouched;
  // Every cut of a good journal (a write that stopped half way) is refused.
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(Parse(good.substr(0, cut), &journal)) << cut;
  }
  const std::string bad[] = {
      good + "x",
      good + "\n",
      "Corvane patch journal 2\npatch 1.03\nfrom 1.00\ndistribution\ndone 0\nend\n",
      "Corvane patch journal 1\npatch 1.03\nfrom 1.00\ndistribution\ndone 01\nend\n",
      "Corvane patch journal 1\npatch 1.03\nfrom 1.00\ndistribution\ndone -1\nend\n",
      "Corvane patch journal 1\npatch 1.03\nfrom 1.00\ndistribution\ndone 1001\nend\n",
      "Corvane patch journal 1\npatch 1.03\nfrom 1.00\ndistribution\ndone\nend\n",
      "Corvane patch journal 1\npatch 1.03\nfrom\ndistribution\ndone 0\nend\n",
      "Corvane patch journal 1\npatch \nfrom 1.00\ndistribution\ndone 0\nend\n",
      "Corvane patch journal 1\npatch  1.03\nfrom 1.00\ndistribution\ndone 0\nend\n",
      "Corvane patch journal 1\nfrom 1.00\npatch 1.03\ndistribution\ndone 0\nend\n",
      "Corvane patch journal 1\r\npatch 1.03\r\nfrom 1.00\r\ndistribution\r\ndone 0\r\nend\r\n",
      "Corvane patch journal 1\npatch 1.03\nfrom 1.00\ndistribution \x01\ndone 0\nend\n",
      std::string("Corvane patch journal 1\npatch 1.03\0\nfrom 1.00\ndistribution\ndone 0\nend\n",
                  62),
  };
  for (const std::string& text : bad) {
    EXPECT_FALSE(Parse(text, &journal)) << text;
    EXPECT_EQ(journal, untouched);
  }
  EXPECT_FALSE(ParseRunJournal(nullptr, 0, &journal));
}

TEST(RunJournalTest, ValuesThatCannotBeStoredAreNotWritten) {
  EXPECT_TRUE(FormatRunJournal(RunJournal{"1.03", "1.00", "line\nbreak", 0}).empty());
  EXPECT_TRUE(FormatRunJournal(RunJournal{"1.03", "", "", 0}).empty());
  EXPECT_TRUE(FormatRunJournal(RunJournal{" 1.03", "1.00", "", 0}).empty());
  EXPECT_TRUE(FormatRunJournal(RunJournal{"1.03", "1.00", std::string(256, 'a'), 0}).empty());
  EXPECT_TRUE(FormatRunJournal(RunJournal{"1.03", "1.00", "", -1}).empty());
  ScratchDir dir;
  EXPECT_FALSE(WriteRunJournal(dir.SystemPath().c_str(), RunJournal{"1.03", "1.00", "", -1}));
  EXPECT_FALSE(dir.Exists(kRunJournalName));
}

TEST(RunJournalTest, WrittenJournalIsReadBackAndReplacedWhole) {
  ScratchDir dir;
  const std::string folder = dir.SystemPath();
  RunJournal journal;
  EXPECT_FALSE(ReadRunJournal(folder.c_str(), &journal));
  ASSERT_TRUE(WriteRunJournal(folder.c_str(), Sample()));
  RunJournal next = Sample();
  next.passes_done = 3;
  ASSERT_TRUE(WriteRunJournal(folder.c_str(), next));
  ASSERT_TRUE(ReadRunJournal(folder.c_str(), &journal));
  EXPECT_EQ(journal, next);
  EXPECT_FALSE(dir.Exists(std::string(kRunJournalName) + ".new"));

  dir.Write(kRunJournalName, "Corvane patch journal 1\npatch 1.03\n");
  EXPECT_FALSE(ReadRunJournal(folder.c_str(), &journal));
  EXPECT_TRUE(RemoveRunJournal(folder.c_str()));
  EXPECT_FALSE(dir.Exists(kRunJournalName));
  EXPECT_TRUE(RemoveRunJournal(folder.c_str()));
}

// A work file left behind may be a link planted there: it is removed, never
// written through.
TEST(RunJournalTest, StaleWorkFileIsReplacedNotFollowed) {
  ScratchDir dir;
  ScratchDir outside;
  outside.Write("victim", "keep");
  std::error_code error;
  std::filesystem::create_symlink(outside.Host("victim"),
                                  dir.Host(std::string(kRunJournalName) + ".new"), error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  ASSERT_TRUE(WriteRunJournal(dir.SystemPath().c_str(), Sample()));
  EXPECT_EQ(outside.Read("victim"), "keep");
  RunJournal journal;
  ASSERT_TRUE(ReadRunJournal(dir.SystemPath().c_str(), &journal));
  EXPECT_EQ(journal, Sample());
}

// A directory where the journal goes makes the write fail, not half succeed;
// once it is removed, the journal is written.
TEST(RunJournalTest, DirectoryInTheWayFailsTheWriteUntilRemoved) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.Host(kRunJournalName));
  EXPECT_FALSE(WriteRunJournal(dir.SystemPath().c_str(), Sample()));
  EXPECT_FALSE(dir.Exists(std::string(kRunJournalName) + ".new"));
  RunJournal journal;
  EXPECT_FALSE(ReadRunJournal(dir.SystemPath().c_str(), &journal));
  std::filesystem::remove(dir.Host(kRunJournalName));
  EXPECT_TRUE(WriteRunJournal(dir.SystemPath().c_str(), Sample()));
  EXPECT_TRUE(ReadRunJournal(dir.SystemPath().c_str(), &journal));
}

}  // namespace
}  // namespace corvane
