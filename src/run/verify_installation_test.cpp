#include "run/verify_installation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::PayloadModule;
using test::ScratchDir;
using test::ScriptedWindow;
using test::ToBytes;
using Lines = std::vector<std::string>;

// CRC-32/BZIP2 of "abc".
constexpr char kAbcCrc[] = "648cbb73";

class VerifyInstallationTest : public ::testing::Test {
 protected:
  // Verifies version 1.01 of `game` against `list`.
  int Verify(const std::string& list, const char* filter = nullptr, bool retry_answered = false) {
    payload_ = std::make_unique<PayloadModule>(
        std::map<std::string, test::Bytes>{{"crc\\1.01\\crc.crc", ToBytes(list)}});
    EXPECT_TRUE(payload_->ok());
    test::InitContext(&context_, game_, payload_->module(), &window_, 101, 102);
    return VerifyInstallation(&context_, filter, true, retry_answered);
  }

  ScratchDir game_;
  ScriptedWindow window_;
  PatchContext context_;
  std::unique_ptr<PayloadModule> payload_;
};

TEST_F(VerifyInstallationTest, NoListIsAWarningAndPasses) {
  PayloadModule empty({{"version.cfg", ToBytes("m")}});
  test::InitContext(&context_, game_, empty.module(), &window_, 101, 102);
  EXPECT_EQ(VerifyInstallation(&context_, nullptr, true, false), kVerifyPassed);
  EXPECT_EQ(VerifyInstallation(&context_, "X.EXE", false, true), kVerifyPassed);
  EXPECT_EQ(window_.Lines(), (Lines{"Warning: No CRC information about version 1.01.",
                                    "Note: No CRC information about file X.EXE, version 1.02."}));
}

// The window's figures of a check: every listed file, the bytes of those
// installed (a variant counts as the file it installs as), counted as read.
TEST_F(VerifyInstallationTest, CheckFiguresCountListedFilesAndInstalledBytes) {
  game_.Write("GAME.EXE", std::string(300, 'x'));
  game_.Write("DATA/SOUND.DAT", std::string(700, 'y'));
  const std::string list = "GAME.EXE 1\nDATA\\SOUND.DAT.#GOLD 2\n+ADDONS\\MISSING.VBK 3\n";
  CheckFigures figures(game_.SystemPath().c_str(), list.data(), static_cast<uint32_t>(list.size()));
  EXPECT_EQ(figures.work().phase, "check");
  EXPECT_EQ(figures.work().files_total, 3);
  EXPECT_EQ(figures.work().bytes_total, 1000u);
  figures.Count("DATA\\SOUND.DAT.#GOLD");
  figures.Count("ADDONS\\MISSING.VBK");
  EXPECT_EQ(figures.work().files_done, 2);
  EXPECT_EQ(figures.work().bytes_done, 700u);

  PayloadModule none({{"version.cfg", ToBytes("m")}});
  test::InitContext(&context_, game_, none.module(), &window_, 101, 102);
  EXPECT_EQ(CheckFigures(context_, 1, 1).work().files_total, 0);  // no list: no figures
}

TEST_F(VerifyInstallationTest, MissingOptionalFileIsSilentMissingRequiredFails) {
  EXPECT_EQ(Verify("+ADDONS\\X.vbk 1234abcd\n"), kVerifyPassed);
  EXPECT_TRUE(window_.Lines().empty());
  EXPECT_EQ(Verify("ADDONS\\X.vbk 1234abcd\n"), kVerifyFailed);
  EXPECT_EQ(window_.Lines(), Lines{"File ADDONS\\X.vbk is missing."});
  EXPECT_TRUE(window_.questions.empty());
}

TEST_F(VerifyInstallationTest, EmptyFileCountsAsMissing) {
  game_.Write("EMPTY.DAT", "");
  EXPECT_EQ(Verify("EMPTY.DAT 0\n"), kVerifyFailed);
  EXPECT_EQ(window_.Lines(), Lines{"File EMPTY.DAT is missing."});
}

TEST_F(VerifyInstallationTest, AnyValueMatchesAndFileNamesIgnoreCase) {
  game_.Write("addons/x.vbk", "abc");
  EXPECT_EQ(Verify(std::string("ADDONS\\X.VBK 11111111 ") + kAbcCrc + "\r\n"), kVerifyPassed);
  EXPECT_TRUE(window_.Lines().empty());
  EXPECT_EQ(window_.progress.back(), "");  // cleared at the end
  EXPECT_NE(
      std::find(window_.progress.begin(), window_.progress.end(), "Checking file ADDONS\\X.VBK"),
      window_.progress.end());
}

TEST_F(VerifyInstallationTest, DistributionVariantChecksTheInstalledFile) {
  game_.Write("X.EXE", "abc");
  EXPECT_EQ(Verify(std::string("X.EXE.#KESTREL ") + kAbcCrc + "\n"), kVerifyPassed);
  EXPECT_TRUE(window_.Lines().empty());
}

TEST_F(VerifyInstallationTest, FilterExaminesOnlyItsLine) {
  game_.Write("X.EXE", "abc");
  std::string list = std::string("A.DAT 1\n+x.exe ") + kAbcCrc + "\nB.DAT 2\n";
  EXPECT_EQ(Verify(list, "X.EXE"), kVerifyPassed);
  EXPECT_EQ(Verify("A.DAT 1\nB.DAT 2\n", "X.EXE"), kVerifyPassed);
  EXPECT_TRUE(window_.Lines().empty());
  EXPECT_EQ(Verify(list, "A.DAT"), kVerifyFailed);
  EXPECT_EQ(window_.Lines(), Lines{"File A.DAT is missing."});
}

TEST_F(VerifyInstallationTest, LastLineWithoutLineFeedIsNotRead) {
  EXPECT_EQ(Verify("A.DAT 1\nB.DAT 2"), kVerifyFailed);
  EXPECT_EQ(window_.Lines(), Lines{"File A.DAT is missing."});
}

TEST_F(VerifyInstallationTest, OptionalMismatchIsOnlyAWarning) {
  game_.Write("X.EXE", "abc");
  EXPECT_EQ(Verify("+X.EXE 89abcdef\n"), kVerifyPassed);
  EXPECT_EQ(window_.Lines(), Lines{"Warning: Error found in file X.EXE (89abcdef!=648cbb73)"});
  EXPECT_TRUE(window_.questions.empty());
}

TEST_F(VerifyInstallationTest, RequiredMismatchIsLoggedAndAsked) {
  game_.Write("X.EXE", "abc");
  window_.answers = {AbortRetryIgnore::kIgnore};
  EXPECT_EQ(Verify("X.EXE 89abcdef\n"), kVerifyPassed);
  EXPECT_EQ(window_.Lines(), Lines{"Error found in file X.EXE (89abcdef!=648cbb73)"});
  EXPECT_EQ(window_.questions, Lines{"Error found in file X.EXE (89abcdef!=648cbb73)"});

  // A missing file fails but the check goes on to the end.
  window_.answers = {AbortRetryIgnore::kIgnore};
  EXPECT_EQ(Verify("MISSING.DAT 1\nX.EXE 89abcdef\n"), kVerifyFailed);
  Lines lines = window_.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "File MISSING.DAT is missing.");
  EXPECT_EQ(lines.back(), "Error found in file X.EXE (89abcdef!=648cbb73)");
}

// Abort ends the whole check at once: one box, not one per modified file.
TEST_F(VerifyInstallationTest, AbortEndsTheCheckAtOnce) {
  game_.Write("A.DAT", "abc");
  game_.Write("B.DAT", "abc");
  window_.answers = {AbortRetryIgnore::kAbort, AbortRetryIgnore::kAbort};
  EXPECT_EQ(Verify("A.DAT 1\nB.DAT 2\nLATER.DAT 3\n"), kVerifyFailed);
  EXPECT_EQ(window_.questions.size(), 1u);
  EXPECT_EQ(window_.Lines(), Lines{"Error found in file A.DAT (00000001!=648cbb73)"});
}

// Retry reads the same file again: once the player mended it, it passes and
// the check goes on with the next file.
TEST_F(VerifyInstallationTest, RetryReadsTheSameFileAgain) {
  game_.Write("A.DAT", "abd");
  game_.Write("B.DAT", "abc");
  window_.answers = {AbortRetryIgnore::kRetry};
  window_.on_question = [this] { game_.Write("A.DAT", "abc"); };
  EXPECT_EQ(Verify(std::string("A.DAT ") + kAbcCrc + "\nB.DAT " + kAbcCrc + "\n"), kVerifyPassed);
  EXPECT_EQ(window_.questions.size(), 1u);
  EXPECT_EQ(window_.retry_defaults, std::vector<bool>{false});
}

TEST_F(VerifyInstallationTest, RetryThenPassingFileStillAsksForRetry) {
  game_.Write("A.DAT", "abc");
  game_.Write("B.DAT", "abc");
  window_.answers = {AbortRetryIgnore::kRetry};
  EXPECT_EQ(Verify(std::string("A.DAT 1\nB.DAT ") + kAbcCrc + "\n", nullptr, true), kVerifyRetry);
  EXPECT_EQ(window_.questions.size(), 1u);
}

TEST_F(VerifyInstallationTest, WithoutRetryAnsweredRetryAsksAgain) {
  game_.Write("A.DAT", "abc");
  window_.answers = {AbortRetryIgnore::kRetry, AbortRetryIgnore::kAbort};
  EXPECT_EQ(Verify("A.DAT 1\n", nullptr, false), kVerifyFailed);
  EXPECT_EQ(window_.questions.size(), 2u);
}

TEST_F(VerifyInstallationTest, StopsWhenTheUserEndedTheWindow) {
  window_.end_after_pumps = true;
  window_.pumps_before_end = 2;  // the second pump of the first file
  EXPECT_EQ(Verify("A.DAT 1\nB.DAT 2\n"), kVerifyStopped);
  EXPECT_EQ(window_.Lines(), Lines{"File A.DAT is missing."});
  EXPECT_FALSE(window_.IsOpen());
}

// Closed while every file so far was fine: the check did not pass, it stopped.
TEST_F(VerifyInstallationTest, ClosedWindowNeverPassesAnUnfinishedCheck) {
  game_.Write("A.DAT", "abc");
  window_.end_after_pumps = true;
  window_.pumps_before_end = 3;  // the first pump of the second file
  EXPECT_EQ(Verify(std::string("A.DAT ") + kAbcCrc + "\nB.DAT 2\n"), kVerifyStopped);
  EXPECT_TRUE(window_.Lines().empty());
  EXPECT_TRUE(window_.ClosedByUser());
}

TEST_F(VerifyInstallationTest, WorksWithoutAWindow) {
  game_.Write("X.EXE", "abc");
  PayloadModule payload({{"crc\\1.02\\crc.crc", ToBytes(std::string("X.EXE ") + kAbcCrc + "\n")}});
  test::InitContext(&context_, game_, payload.module(), nullptr, 101, 102);
  EXPECT_EQ(VerifyInstallation(&context_, nullptr, false, false), kVerifyPassed);
}

TEST(ComputeFileCrcTest, WholeFileAcrossWindows) {
  ScratchDir dir;
  std::string content;
  content.resize(9000000);  // more than two 4 MiB windows
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
  dir.Write("big", content);
  uint32_t crc = 0;
  ASSERT_TRUE(ComputeFileCrc((dir.SystemPath() + "big").c_str(), &crc));
  EXPECT_EQ(crc, Crc32(content.data(), content.size()));
  EXPECT_FALSE(ComputeFileCrc((dir.SystemPath() + "none").c_str(), &crc));
}

// A file of 3 GiB (sparse: zeros but its last byte) is read to its end; the
// check used to stop at 2 GiB - 1 and so failed every file of 2 GiB or more.
TEST(ComputeFileCrcTest, FilesOfAnySizeAreReadToTheirEnd) {
  ScratchDir dir;
  const uint64_t size = 3ull << 30;
  { std::ofstream create(dir.Host("huge"), std::ios::binary | std::ios::trunc); }
  std::error_code error;
  std::filesystem::resize_file(dir.Host("huge"), size, error);
  if (error) GTEST_SKIP() << "no sparse file of 3 GiB here: " << error.message();
  {
    std::fstream last(dir.Host("huge"), std::ios::binary | std::ios::in | std::ios::out);
    last.seekp(static_cast<std::streamoff>(size - 1));
    last.put('\x5a');
  }
  std::vector<char> zeros(1 << 20, 0);
  uint32_t state = kCrc32Initial;
  for (uint64_t left = size - 1; left > 0;) {
    size_t piece = left < zeros.size() ? static_cast<size_t>(left) : zeros.size();
    state = Crc32Update(state, zeros.data(), piece);
    left -= piece;
  }
  const char marker = '\x5a';
  state = Crc32Update(state, &marker, 1);
  uint32_t crc = 0;
  ASSERT_TRUE(ComputeFileCrc((dir.SystemPath() + "huge").c_str(), &crc));
  EXPECT_EQ(crc, Crc32Final(state));

  // The check itself passes it against its list.
  PayloadModule payload({{"crc\\1.01\\crc.crc", ToBytes("HUGE " + [&] {
                            char text[16];
                            std::snprintf(text, sizeof text, "%08x", Crc32Final(state));
                            return std::string(text);
                          }() + "\n")}});
  PatchContext context;
  test::InitContext(&context, dir, payload.module(), nullptr, 101, 102);
  EXPECT_EQ(VerifyInstallation(&context, nullptr, true, false), kVerifyPassed);
}

}  // namespace
}  // namespace corvane
