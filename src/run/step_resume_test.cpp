#include "run/step_resume.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/crc32.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::Bytes;
using test::ScratchDir;

std::string Line(const char* name, const std::string& content) {
  char text[512];
  std::snprintf(text, sizeof text, "%s %08x\n", name, Crc32(content.data(), content.size()));
  return text;
}

class StepResumeTest : public ::testing::Test {
 protected:
  InterruptedStep Find() {
    test::PayloadModule payload(
        {{"crc\\1.00\\crc.crc", test::ToBytes(from_)}, {"crc\\1.01\\crc.crc", test::ToBytes(to_)}});
    EXPECT_TRUE(payload.ok());
    return FindInterruptedStep(payload.module(), dir_.SystemPath().c_str(), 100, 101);
  }

  // The three files both lists name, with these contents.
  void WriteInstalled(const char* a, const char* b, const char* game) {
    dir_.Write("A.DAT", a);
    dir_.Write("SUB/B.DAT", b);
    dir_.Write("GAME.EXE", game);
  }

  ScratchDir dir_;
  std::string from_ = Line("A.DAT", "a0") + Line("SUB\\B.DAT", "b0") + Line("GAME.EXE", "g0") +
                      Line("+OPT.TXT", "o0");
  std::string to_ = Line("A.DAT", "a1") + Line("sub\\b.dat", "b1") + Line("GAME.EXE", "g1");
};

TEST_F(StepResumeTest, FilesOfBothVersionsAreAnInterruptedStep) {
  WriteInstalled("a1", "b0", "g0");
  InterruptedStep step = Find();
  EXPECT_TRUE(step.interrupted);
  ASSERT_EQ(step.advanced.size(), 1u);
  EXPECT_TRUE(step.IsAdvanced("a.dat"));
  EXPECT_FALSE(step.IsAdvanced("SUB\\B.DAT"));
}

// A sound installation at the source version is known to be sound: the run
// does not read it a second time. Anything else leaves it to the verification.
TEST_F(StepResumeTest, AnUntouchedInstallationIsNoInterruptedStepAndAllAtTheSource) {
  WriteInstalled("a0", "b0", "g0");
  InterruptedStep step = Find();
  EXPECT_FALSE(step.interrupted);
  EXPECT_TRUE(step.all_at_source) << "a missing optional file is no reason to read again";
  dir_.Write("OPT.TXT", "changed");
  EXPECT_FALSE(Find().all_at_source) << "the verification warns about a changed optional file";
  dir_.Write("OPT.TXT", "o0");
  EXPECT_TRUE(Find().all_at_source);
  dir_.Write("A.DAT", "a1");
  EXPECT_FALSE(Find().all_at_source);
}

TEST_F(StepResumeTest, ProgressSeesEveryFileAndMayStopTheComparison) {
  WriteInstalled("a1", "b0", "g0");
  test::PayloadModule payload(
      {{"crc\\1.00\\crc.crc", test::ToBytes(from_)}, {"crc\\1.01\\crc.crc", test::ToBytes(to_)}});
  ASSERT_TRUE(payload.ok());
  std::vector<std::string> seen;
  InterruptedStep step = FindInterruptedStep(payload.module(), dir_.SystemPath().c_str(), 100, 101,
                                             [&](const char* name) {
                                               seen.emplace_back(name);
                                               return true;
                                             });
  EXPECT_TRUE(step.interrupted);
  EXPECT_EQ(seen, (std::vector<std::string>{"A.DAT", "SUB\\B.DAT", "GAME.EXE", "OPT.TXT"}));
  // Stopped at the second file (the window was closed): nothing is found.
  int calls = 0;
  step = FindInterruptedStep(payload.module(), dir_.SystemPath().c_str(), 100, 101,
                             [&](const char*) { return ++calls < 2; });
  EXPECT_FALSE(step.interrupted);
  EXPECT_FALSE(step.all_at_source);
  EXPECT_EQ(calls, 2);
}

TEST_F(StepResumeTest, AFileOfNeitherVersionLeavesItToTheVerification) {
  WriteInstalled("a1", "modified", "g0");
  EXPECT_FALSE(Find().interrupted);
}

TEST_F(StepResumeTest, AMissingRequiredFileLeavesItToTheVerification) {
  dir_.Write("A.DAT", "a1");
  dir_.Write("GAME.EXE", "g0");
  EXPECT_FALSE(Find().interrupted);
}

TEST_F(StepResumeTest, NoTargetListMeansNothingToResume) {
  dir_.Write("A.DAT", "a1");
  test::PayloadModule payload({{"crc\\1.00\\crc.crc", test::ToBytes(from_)}});
  ASSERT_TRUE(payload.ok());
  EXPECT_FALSE(
      FindInterruptedStep(payload.module(), dir_.SystemPath().c_str(), 100, 101).interrupted);
}

TEST(StepResumeOrder, ExecutableUpdateGoesLast) {
  AutoArray<RString> names;
  names.Add("1.00-1.01\\DATA\\A.DAT.UPD");
  names.Add("1.00-1.01\\GAME.EXE.UPD");
  names.Add("1.00-1.01\\README.TXT.UPD");
  MoveExecutableUpdateLast(&names, "game.exe");
  EXPECT_STREQ(names[0].Data(), "1.00-1.01\\DATA\\A.DAT.UPD");
  EXPECT_STREQ(names[1].Data(), "1.00-1.01\\README.TXT.UPD");
  EXPECT_STREQ(names[2].Data(), "1.00-1.01\\GAME.EXE.UPD");
  // An executable in a subdirectory with the same file name is another file.
  AutoArray<RString> other;
  other.Add("1.00-1.01\\BIN\\GAME.EXE.UPD");
  other.Add("1.00-1.01\\Z.UPD");
  MoveExecutableUpdateLast(&other, "GAME.EXE");
  EXPECT_STREQ(other[0].Data(), "1.00-1.01\\BIN\\GAME.EXE.UPD");
}

TEST(StepResumeLeftovers, OnlyTheExtractedUpdateAndTheTemporaryFileGo) {
  ScratchDir dir;
  dir.Write("DATA/A.DAT", "installed");
  dir.Write("DATA/A.DAT.UPD", "extracted update");
  dir.Write("DATA/A.DAT.tmp", "half new");
  dir.Write("DATA/B.DAT.tmp", "another file's");
  RemoveStepLeftovers(dir.SystemPath().c_str(), "1.00-1.01\\DATA\\A.DAT.UPD");
  EXPECT_EQ(dir.List("DATA"), (std::vector<std::string>{"A.DAT", "B.DAT.tmp"}));
  RemoveStepLeftovers(dir.SystemPath().c_str(), "NOT-A-STEP-NAME");
  EXPECT_EQ(dir.List("DATA"), (std::vector<std::string>{"A.DAT", "B.DAT.tmp"}));
}

TEST(StepResumeOrder, TargetNameDropsStepAndExtension) {
  EXPECT_EQ(StepTargetName("1.00-1.01\\DATA\\A.DAT.UPD"), "DATA\\A.DAT");
  EXPECT_EQ(StepTargetName("1.00-1.01\\NOEXT\\FILE"), "NOEXT\\FILE");
  EXPECT_EQ(StepTargetName("nostep"), "");
}

// A run resumed from its journal in a later step: the files the whole-file
// passes still have to install may be missing or at any version; everything
// else must be at the step's source or target.
TEST_F(StepResumeTest, ResumedStepToleratesOnlyTheWholeFilesStillToCome) {
  from_ += Line("MAPS\\NEW.MAP", "n0");
  test::PayloadModule payload(
      {{"crc\\1.00\\crc.crc", test::ToBytes(from_)}, {"crc\\1.01\\crc.crc", test::ToBytes(to_)}});
  ASSERT_TRUE(payload.ok());
  WriteInstalled("a1", "b0", "g0");
  const std::string folder = dir_.SystemPath();
  InterruptedStep step;
  // NEW.MAP is missing: a damaged installation unless a later pass brings it.
  EXPECT_FALSE(CheckResumedStep(payload.module(), folder.c_str(), 100, 101, {}, &step));
  EXPECT_FALSE(step.interrupted);
  ASSERT_TRUE(
      CheckResumedStep(payload.module(), folder.c_str(), 100, 101, {"maps\\new.map"}, &step));
  EXPECT_TRUE(step.interrupted);
  EXPECT_TRUE(step.IsAdvanced("A.DAT"));
  EXPECT_FALSE(step.IsAdvanced("GAME.EXE"));

  // A file at neither version is damage, whatever comes later.
  dir_.Write("SUB/B.DAT", "bx");
  EXPECT_FALSE(
      CheckResumedStep(payload.module(), folder.c_str(), 100, 101, {"MAPS\\NEW.MAP"}, &step));
  // A later whole file is not examined at all.
  EXPECT_TRUE(CheckResumedStep(payload.module(), folder.c_str(), 100, 101,
                               {"MAPS\\NEW.MAP", "SUB\\B.DAT"}, &step));

  // Nothing advanced yet is no interrupted step, but a consistent one.
  dir_.Write("A.DAT", "a0");
  ASSERT_TRUE(CheckResumedStep(payload.module(), folder.c_str(), 100, 101,
                               {"MAPS\\NEW.MAP", "SUB\\B.DAT"}, &step));
  EXPECT_FALSE(step.interrupted);
}

}  // namespace
}  // namespace corvane
