#include "run/step_execution.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "run/payload_store.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::Bytes;
using test::PayloadModule;
using test::ScratchDir;
using test::ScriptedWindow;
using test::ToBytes;
using Names = std::vector<std::string>;

TEST(StepNameTest, MatchesPrefixTargetVersionAndBackslash) {
  const char* rest = nullptr;
  EXPECT_TRUE(MatchStepName("1.01-1.02\\ADDONS\\X.vbk.UPD", "1.01-", &rest));
  EXPECT_STREQ(rest, "ADDONS\\X.vbk.UPD");
  EXPECT_TRUE(MatchStepName("1.01-1.02\\X.EXE.UPD", "1.01-", &rest));
  EXPECT_STREQ(rest, "X.EXE.UPD");
  EXPECT_TRUE(MatchStepName("1.01-x.\\A", "1.01-", &rest));  // empty digit runs
  EXPECT_STREQ(rest, "A");
  EXPECT_FALSE(MatchStepName("1.01-1.02X.vbk.UPD", "1.01-", &rest));
  EXPECT_FALSE(MatchStepName("1.00-1.01\\X.vbk.UPD", "1.01-", &rest));
  EXPECT_FALSE(MatchStepName("1.01-", "1.01-", &rest));
  EXPECT_FALSE(MatchStepName("1.01-1-02\\A", "1.01-", &rest));
}

TEST(FreeSpaceTest, NeedIsComputedWithoutWrapping) {
  EXPECT_EQ(StepBytesNeeded(10000000, 700000000), 1420485760u);
  // Sizes whose 32-bit sum would wrap to a small number.
  EXPECT_EQ(StepBytesNeeded(0xFFFFFFFFu, 0xFFFFFFFFu), 3ull * 0xFFFFFFFFu + 10485760u);
}

uint64_t fake_free = 0;
bool fake_known = true;
bool FakeFreeSpace(const char*, uint64_t* bytes) {
  *bytes = fake_free;
  return fake_known;
}

class StepTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFreeSpaceFunction(&FakeFreeSpace); }
  void TearDown() override {
    SetFreeSpaceFunction(nullptr);
    fake_known = true;
  }

  void Start(const std::map<std::string, Bytes>& resources, const char* prefix = "1.00-") {
    payload_ = std::make_unique<PayloadModule>(resources);
    ASSERT_TRUE(payload_->ok());
    test::InitContext(&context_, game_, payload_->module(), &window_, 100, 101);
    context_.SetPrefix(prefix);
  }
  bool Update() { return EnumeratePayload(payload_->module(), StepUpdateCallback, &context_); }
  bool Space() { return EnumeratePayload(payload_->module(), StepSpaceCallback, &context_); }

  test::ScopedBoxRecorder boxes_;
  ScratchDir game_;
  ScriptedWindow window_;
  PatchContext context_;
  std::unique_ptr<PayloadModule> payload_;
};

TEST_F(StepTest, FreeSpaceOfOneByteLessRaisesDiskFull) {
  game_.Write("X.EXE", std::string(1000, 'x'));
  Bytes update(300, 1);
  Start({{"1.00-1.01\\X.EXE.UPD", update}});
  fake_free = StepBytesNeeded(300, 1000);
  EXPECT_TRUE(Space());
  EXPECT_EQ(context_.disk_full, 0);
  fake_free -= 1;
  EXPECT_FALSE(Space());
  EXPECT_EQ(context_.disk_full, 1);
  EXPECT_EQ(context_.seen, 1);
}

TEST_F(StepTest, LargeInstalledFileNeedsTwiceItsSizePlusUpdatePlusTenMiB) {
  game_.Write("BIG.PBO", "");
  std::filesystem::resize_file(game_.Host("BIG.PBO"), 700000000);  // sparse
  Start({{"1.00-1.01\\BIG.PBO.UPD", Bytes(10000000, 0x5A)}});
  fake_free = 1420485760;
  EXPECT_TRUE(Space());
  EXPECT_EQ(context_.disk_full, 0);
  fake_free = 1420485759;
  EXPECT_FALSE(Space());
  EXPECT_EQ(context_.disk_full, 1);
}

TEST_F(StepTest, FreeSpaceUnknownPassesAndMissingTargetStopsQuietly) {
  game_.Write("X.EXE", "x");
  Start({{"1.00-1.01\\X.EXE.UPD", Bytes(5, 1)}, {"1.00-1.01\\Y.EXE.UPD", Bytes(5, 1)}});
  fake_known = false;
  fake_free = 0;
  // X.EXE passes (unknown free space); Y.EXE is missing: the check ends, no flag.
  EXPECT_FALSE(Space());
  EXPECT_EQ(context_.disk_full, 0);
  EXPECT_EQ(context_.error, 0);
}

TEST_F(StepTest, UpdateReplacesFileAndLeavesNothingBehind) {
  game_.Write("ADDONS/X.vbk", "old");
  game_.Write("OTHER.TXT", "other");
  Start({{"1.00-1.01\\ADDONS\\X.vbk.UPD", test::ReplacingUpdate(3, "brand new")},
         {"1.01-1.02\\OTHER.TXT.UPD", test::ReplacingUpdate(5, "not this step")}});
  EXPECT_TRUE(Update());
  EXPECT_EQ(context_.error, 0);
  EXPECT_EQ(context_.seen, 1);
  EXPECT_EQ(game_.Read("ADDONS/X.vbk"), "brand new");
  EXPECT_EQ(game_.Read("OTHER.TXT"), "other");
  EXPECT_EQ(game_.List("ADDONS"), Names{"X.vbk"});
  EXPECT_EQ(window_.progress.back(), "ADDONS\\X.VBK");
}

TEST_F(StepTest, ReadOnlyInstalledFileIsReplaced) {
  game_.Write("X.EXE", "old");
  ASSERT_TRUE(platform::SetReadOnly((game_.SystemPath() + "X.EXE").c_str(), true));
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")}});
  EXPECT_TRUE(Update());
  EXPECT_EQ(game_.Read("X.EXE"), "new");
  EXPECT_EQ(game_.List(), Names{"X.EXE"});
}

TEST_F(StepTest, StoredLetterCaseOfTheInstalledFileIsKept) {
  game_.Write("addons/x.VBK", "old");
  Start({{"1.00-1.01\\ADDONS\\X.vbk.UPD", test::ReplacingUpdate(3, "new")}});
  EXPECT_TRUE(Update());
  EXPECT_EQ(game_.List("addons"), Names{"x.VBK"});
  EXPECT_EQ(game_.Read("addons/x.VBK"), "new");
}

TEST_F(StepTest, UnchangedUpdateLeavesTheFileUntouched) {
  game_.Write("X.EXE", std::string(40, 'u'));
  std::string target = game_.SystemPath() + "X.EXE";
  int64_t before = 0;
  ASSERT_TRUE(platform::FileModificationTime(target.c_str(), &before));
  Start({{"1.00-1.01\\X.EXE.UPD", test::UnchangedUpdate(40)}});
  EXPECT_TRUE(Update());
  int64_t after = 0;
  ASSERT_TRUE(platform::FileModificationTime(target.c_str(), &after));
  EXPECT_EQ(before, after);
  EXPECT_EQ(game_.List(), Names{"X.EXE"});  // the extracted update is gone
}

TEST_F(StepTest, DeletionUpdateKeepsTheInstalledFileAndGoesOn) {
  game_.Write("A.DAT", "a");
  game_.Write("B.DAT", "b");
  Start({{"1.00-1.01\\A.DAT.UPD", test::DeletionUpdate()},
         {"1.00-1.01\\B.DAT.UPD", test::ReplacingUpdate(1, "bb")}});
  EXPECT_TRUE(Update());
  EXPECT_EQ(game_.Read("A.DAT"), "a");
  EXPECT_EQ(game_.Read("B.DAT"), "bb");
  EXPECT_EQ(game_.List(), (Names{"A.DAT", "B.DAT"}));
}

TEST_F(StepTest, RetryAppliesAgainWithAFreshAction) {
  game_.Write("X.EXE", "wrong size");
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")}});
  // The user mends the installed file while the question is open.
  window_.on_question = [this] { game_.Write("X.EXE", "old"); };
  window_.answers = {AbortRetryIgnore::kRetry};
  EXPECT_TRUE(Update());
  EXPECT_EQ(window_.questions, Names{"Error found in file X.EXE (00000000!=00000001)"});
  EXPECT_TRUE(window_.retry_defaults[0]);
  EXPECT_EQ(game_.Read("X.EXE"), "new");
  EXPECT_EQ(game_.List(), Names{"X.EXE"});
}

TEST_F(StepTest, AbortLeavesNeitherTemporaryNorUpdateFile) {
  game_.Write("ADDONS/X.vbk", "wrong size");
  Start({{"1.00-1.01\\ADDONS\\X.vbk.UPD", test::ReplacingUpdate(3, "new")}});
  window_.answers = {AbortRetryIgnore::kAbort};
  EXPECT_FALSE(Update());
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "ADDONS\\X.VBK");
  EXPECT_EQ(game_.Read("ADDONS/X.vbk"), "wrong size");
  EXPECT_EQ(game_.List("ADDONS"), Names{"X.vbk"});
}

TEST_F(StepTest, IgnoreWithoutAnOutputKeepsTheInstalledFile) {
  game_.Write("X.EXE", "wrong size");
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")}});
  window_.answers = {AbortRetryIgnore::kIgnore};
  EXPECT_FALSE(Update());
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "X.EXE");
  EXPECT_EQ(game_.Read("X.EXE"), "wrong size");
  EXPECT_EQ(game_.List(), Names{"X.EXE"});
}

TEST_F(StepTest, MissingInstalledFileFailsWithItsFullPath) {
  Start({{"1.00-1.01\\GONE.DAT.UPD", test::ReplacingUpdate(0, "x")}});
  EXPECT_FALSE(Update());
  EXPECT_EQ(context_.error, 1);
  EXPECT_EQ(std::string(context_.failed_file), game_.SystemPath() + "GONE.DAT");
  EXPECT_TRUE(game_.List().empty());
}

TEST_F(StepTest, NumberedResourcesAreSkippedWithoutBeingSeen) {
  Start({{"X", ToBytes("x")}});
  EXPECT_TRUE(StepUpdateCallback(&payload_->module(), kRawDataType,
                                 reinterpret_cast<const char*>(3), &context_));
  EXPECT_TRUE(StepSpaceCallback(&payload_->module(), kRawDataType,
                                reinterpret_cast<const char*>(3), &context_));
  EXPECT_EQ(context_.seen, 0);
  EXPECT_TRUE(StepUpdateCallback(&payload_->module(), kRawDataType, "X", &context_));
  EXPECT_EQ(context_.seen, 1);
}

class CopyTest : public StepTest {
 protected:
  void Copy(const char* prefix, const Names& names) {
    context_.SetPrefix(prefix);
    context_.names.Clear();
    for (const std::string& name : names) context_.names.Add(RString(name.c_str()));
    CopyWholeFiles(&context_);
  }
};

TEST_F(CopyTest, VariantIsWrittenWithoutSuffixAndVerifiedWithIt) {
  Start({{"ALL\\X.EXE.#KESTREL", ToBytes("abc")},
         {"crc\\1.01\\crc.crc", ToBytes("X.EXE.#KESTREL 648cbb73\n")}});
  Copy("All\\", {"ALL\\X.EXE.#KESTREL"});
  EXPECT_EQ(context_.error, 0);
  EXPECT_EQ(game_.List(), Names{"X.EXE"});
  EXPECT_EQ(game_.Read("X.EXE"), "abc");
  EXPECT_TRUE(window_.questions.empty());
}

TEST_F(CopyTest, RetryOfTheVerificationExtractsAgain) {
  Start({{"ADD\\DATA\\A.PBO", ToBytes("abc")}, {"crc\\1.01\\crc.crc", ToBytes("DATA\\A.PBO 1\n")}});
  int extractions = 0;
  window_.on_question = [&] {
    // Spoiled while the first question is open: only a fresh extraction puts
    // it right again.
    if (++extractions == 1) game_.Write("DATA/A.PBO", "spoiled");
  };
  window_.answers = {AbortRetryIgnore::kRetry, AbortRetryIgnore::kAbort};
  Copy("Add\\", {"ADD\\DATA\\A.PBO"});
  EXPECT_EQ(window_.questions.size(), 2u);
  EXPECT_EQ(game_.Read("DATA/A.PBO"), "abc");
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "DATA\\A.PBO");
}

TEST_F(CopyTest, MissingPayloadAsksAndIgnoreGoesOn) {
  Start({{"ALL\\B.DAT", ToBytes("b")}});
  window_.answers = {AbortRetryIgnore::kIgnore};
  Copy("All\\", {"ALL\\A.DAT", "ALL\\B.DAT"});
  EXPECT_EQ(window_.questions, Names{"Error found in file ALL\\A.DAT"});
  // The missing resource itself is told with the system's error text.
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].rfind("Error: ", 0), 0u);
  EXPECT_EQ(context_.error, 0);
  EXPECT_EQ(game_.List(), Names{"B.DAT"});
  // Without a list for the patch version, each file is noted and passes.
  EXPECT_EQ(window_.Lines().back(), "Note: No CRC information about file B.DAT, version 1.01.");
}

TEST_F(CopyTest, AbortOfAnExtractionEndsThePass) {
  Start({{"ALL\\B.DAT", ToBytes("b")}});
  window_.answers = {AbortRetryIgnore::kAbort};
  Copy("All\\", {"ALL\\SUB\\A.DAT", "ALL\\B.DAT"});
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "SUB\\A.DAT");
  EXPECT_FALSE(game_.Exists("B.DAT"));
}

}  // namespace
}  // namespace corvane
