#include "run/step_execution.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/crc32.h"
#include "engine/work_file.h"
#include "platform/file_system.h"
#include "run/payload_store.h"
#include "run/step_result_check.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

using test::Bytes;
using test::PayloadModule;
using test::ScratchDir;
using test::ScriptedWindow;
using test::ToBytes;
using Names = std::vector<std::string>;

std::string CrcText(const std::string& content) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08x", Crc32(content.data(), content.size()));
  return text;
}

// A list line "<name> <crc of each content>".
Bytes ListLine(const std::string& name, const std::vector<std::string>& contents) {
  std::string line = name;
  for (const std::string& content : contents) line += " " + CrcText(content);
  return ToBytes(line + "\r\n");
}

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
    SetInstalledOpenFunction(nullptr);
    SetReplaceFunction(nullptr);
    SetWorkFileCreateFunction(nullptr);
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
  // An update to "new" of a file installed at `installed` with the wrong size,
  // so that applying it finds an error and asks.
  void StartOnWrongSize(const char* installed, const char* resource) {
    game_.Write(installed, "wrong size");
    Start({{resource, test::ReplacingUpdate(3, "new")}});
  }
  // The step's pass, then the whole-file pass with `whole` as the one name
  // listed; both go through.
  void UpdateThenCopyWhole(const char* whole) {
    EXPECT_TRUE(Update());
    context_.SetPrefix("All\\");
    context_.names.Add(RString(whole));
    CopyWholeFiles(&context_);
    EXPECT_EQ(context_.error, 0);
  }
  // The pass stops with the error set on `file`.
  void ExpectUpdateFailsOn(const char* file) {
    EXPECT_FALSE(Update());
    EXPECT_EQ(context_.error, 1);
    EXPECT_STREQ(context_.failed_file, file);
  }

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
  StartOnWrongSize("X.EXE", "1.00-1.01\\X.EXE.UPD");
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
  StartOnWrongSize("ADDONS/X.vbk", "1.00-1.01\\ADDONS\\X.vbk.UPD");
  window_.answers = {AbortRetryIgnore::kAbort};
  ExpectUpdateFailsOn("ADDONS\\X.VBK");
  EXPECT_EQ(game_.Read("ADDONS/X.vbk"), "wrong size");
  EXPECT_EQ(game_.List("ADDONS"), Names{"X.vbk"});
}

TEST_F(StepTest, IgnoreWithoutAnOutputKeepsTheInstalledFile) {
  StartOnWrongSize("X.EXE", "1.00-1.01\\X.EXE.UPD");
  window_.answers = {AbortRetryIgnore::kIgnore};
  ExpectUpdateFailsOn("X.EXE");
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
  EXPECT_TRUE(StepSpaceCallback(&payload_->module(), kRawDataType, reinterpret_cast<const char*>(3),
                                &context_));
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
  // A copy the list refuses never replaces the file that is there.
  EXPECT_EQ(game_.Read("DATA/A.PBO"), "spoiled");
  EXPECT_EQ(game_.List("DATA"), Names{"A.PBO"});
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "DATA\\A.PBO");
}

TEST_F(CopyTest, MissingPayloadAsksAndIgnoreGoesOnPastAnInstalledCopy) {
  game_.Write("A.DAT", "installed a");
  Start({{"ALL\\B.DAT", ToBytes("b")}});
  window_.answers = {AbortRetryIgnore::kIgnore};
  Copy("All\\", {"ALL\\A.DAT", "ALL\\B.DAT"});
  // The question names the installed file, not the payload's internal name.
  EXPECT_EQ(window_.questions, Names{"Error found in file A.DAT"});
  // The missing resource itself is told with the system's error text.
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].rfind("Error: ", 0), 0u);
  EXPECT_EQ(context_.error, 0);
  EXPECT_EQ(game_.List(), (Names{"A.DAT", "B.DAT"}));
  EXPECT_EQ(game_.Read("A.DAT"), "installed a");
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

// --- Results proven against the target version's list ---

TEST_F(StepTest, ResultTheTargetListRefusesNeverReplacesTheFile) {
  for (const char* name : {"A.EXE", "B.DAT", "C.DAT", "X.EXE"}) game_.Write(name, "old");
  // A.EXE matches the second of its values, B.DAT the line of an edition
  // variant; C.DAT has no line, so its update's byte sum is all there is to
  // go by. X.EXE's update makes "wen", whose byte sum holds; only the list
  // knows the new file is "new".
  Bytes list = ListLine("A.EXE", {"other edition", "new a"});
  for (const Bytes& line : {ListLine("B.DAT.#GOLD", {"new b"}), ListLine("X.EXE", {"new"})}) {
    list.insert(list.end(), line.begin(), line.end());
  }
  Start({{"1.00-1.01\\A.EXE.UPD", test::ReplacingUpdate(3, "new a")},
         {"1.00-1.01\\B.DAT.UPD", test::ReplacingUpdate(3, "new b")},
         {"1.00-1.01\\C.DAT.UPD", test::ReplacingUpdate(3, "new c")},
         {"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "wen")},
         {"crc\\1.01\\crc.crc", list}});
  window_.answers = {AbortRetryIgnore::kIgnore};
  EXPECT_FALSE(Update());
  EXPECT_EQ(window_.questions,
            Names{"Error found in file X.EXE (" + CrcText("new") + "!=" + CrcText("wen") + ")"});
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "X.EXE");
  EXPECT_EQ(game_.Read("X.EXE"), "old");
  EXPECT_EQ(game_.Read("A.EXE"), "new a");
  EXPECT_EQ(game_.Read("B.DAT"), "new b");
  EXPECT_EQ(game_.Read("C.DAT"), "new c");
  EXPECT_EQ(game_.List(), (Names{"A.EXE", "B.DAT", "C.DAT", "X.EXE"}));
}

// A file the whole-file passes bring after the steps ends as that whole
// file, and the lists describe it so: the step's own result is not held to
// them (the whole file is checked when it lands).
TEST_F(StepTest, ResultOfAFileBroughtWholeLaterIsNotHeldToTheList) {
  game_.Write("README.TXT", "old");
  game_.Write("MAP.DAT", "old");
  Bytes list = ListLine("README.TXT", {"whole readme"});
  Bytes map_line = ListLine("MAP.DAT", {"whole map"});
  list.insert(list.end(), map_line.begin(), map_line.end());
  Start({{"1.00-1.01\\README.TXT.UPD", test::ReplacingUpdate(3, "new")},
         {"1.00-1.01\\MAP.DAT.UPD", test::ReplacingUpdate(3, "new")},
         {"ALL\\README.TXT", ToBytes("whole readme")},
         {"1.00\\MAP.DAT.#GOLD", ToBytes("whole map")},
         {"crc\\1.01\\crc.crc", list}});
  EXPECT_TRUE(Update());
  EXPECT_TRUE(window_.questions.empty());
  EXPECT_EQ(game_.Read("README.TXT"), "new");
  EXPECT_EQ(game_.Read("MAP.DAT"), "new");
}

TEST_F(StepTest, RetryAfterARefusedResultAppliesAgain) {
  game_.Write("X.EXE", "old");
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "wen")},
         {"crc\\1.01\\crc.crc", ListLine("X.EXE", {"new"})}});
  window_.answers = {AbortRetryIgnore::kRetry, AbortRetryIgnore::kAbort};
  EXPECT_FALSE(Update());
  EXPECT_EQ(window_.questions.size(), 2u);
  EXPECT_EQ(game_.Read("X.EXE"), "old");
  EXPECT_EQ(game_.List(), Names{"X.EXE"});
}

TEST_F(CopyTest, FlippedBitInAWholeFileLeavesTheInstalledFile) {
  game_.Write("MAPS/BONUS.MAP", "installed");
  // "abc" is what the list knows; the payload carries "abb" (one bit off).
  Start({{"ALL\\MAPS\\BONUS.MAP.#GOLD", ToBytes("abb")},
         {"crc\\1.01\\crc.crc", ListLine("MAPS\\BONUS.MAP.#GOLD", {"abc"})}});
  window_.answers = {AbortRetryIgnore::kAbort};
  Copy("All\\", {"ALL\\MAPS\\BONUS.MAP.#GOLD"});
  EXPECT_EQ(window_.questions, Names{"Error found in file MAPS\\BONUS.MAP (" + CrcText("abc") +
                                     "!=" + CrcText("abb") + ")"});
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "MAPS\\BONUS.MAP");
  EXPECT_EQ(game_.Read("MAPS/BONUS.MAP"), "installed");
  EXPECT_EQ(game_.List("MAPS"), Names{"BONUS.MAP"});
}

TEST_F(CopyTest, IgnoreNeverPassesAFileThatIsMissing) {
  Start({{"ALL\\NEW.DAT", ToBytes("abb")},
         {"ALL\\NEXT.DAT", ToBytes("next")},
         {"crc\\1.01\\crc.crc", ListLine("NEW.DAT", {"abc"})}});
  window_.answers = {AbortRetryIgnore::kIgnore, AbortRetryIgnore::kIgnore};
  Copy("All\\", {"ALL\\GONE.DAT", "ALL\\NEW.DAT", "ALL\\NEXT.DAT"});
  EXPECT_EQ(window_.questions.size(), 2u);
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "NEW.DAT");
  // The pass went on with the files after them.
  EXPECT_EQ(game_.List(), Names{"NEXT.DAT"});
}

TEST_F(StepTest, ReadOnlyAttributeIsPutBackOnTheNewFiles) {
  game_.Write("X.EXE", "old");
  game_.Write("W.DAT", "old whole");
  const std::string step_target = game_.SystemPath() + "X.EXE";
  const std::string whole_target = game_.SystemPath() + "W.DAT";
  ASSERT_TRUE(platform::SetReadOnly(step_target.c_str(), true));
  ASSERT_TRUE(platform::SetReadOnly(whole_target.c_str(), true));
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")},
         {"ALL\\W.DAT", ToBytes("new whole")}});
  UpdateThenCopyWhole("ALL\\W.DAT");
  EXPECT_EQ(game_.Read("X.EXE"), "new");
  EXPECT_EQ(game_.Read("W.DAT"), "new whole");
  EXPECT_TRUE(platform::QueryFileAttributes(step_target.c_str()).read_only);
  EXPECT_TRUE(platform::QueryFileAttributes(whole_target.c_str()).read_only);
}

// --- Files held by another program, folders that cannot be written ---

// How many calls of each hook fail, and with what, before the real call.
int faults_left = 0;
int open_faults_left = 0;
platform::FileFault injected_fault = platform::FileFault::kInUse;

platform::FileFault ReplaceHeldOnce(const char* from, const char* to) {
  if (faults_left > 0) {
    --faults_left;
    return injected_fault;
  }
  return platform::RenameReplacing(from, to) ? platform::FileFault::kNone
                                             : platform::FileFault::kOther;
}

platform::FileFault OpenHeldOnce(const char*) {
  if (open_faults_left > 0) {
    --open_faults_left;
    return platform::FileFault::kInUse;
  }
  return platform::FileFault::kNone;
}

platform::FileHandle WorkFileDeniedOnce(const char* path, platform::FileFault* fault) {
  if (faults_left > 0) {
    --faults_left;
    *fault = platform::FileFault::kAccessDenied;
    return platform::kInvalidFileHandle;
  }
  return CreateWorkFileOnDisk(path, fault);
}

TEST_F(StepTest, InstalledFileInUseAsksRetryCancelAndRetryGoesOn) {
  game_.Write("ADDONS/X.vbk", "old");
  Start({{"1.00-1.01\\ADDONS\\X.vbk.UPD", test::ReplacingUpdate(3, "new")}});
  const std::string in_use =
      "File ADDONS\\X.VBK is in use.\r\nClose the game and any program using the file, then "
      "choose Retry.";
  // Held when opened, then (access denied, as a running game's file is)
  // when replaced.
  SetInstalledOpenFunction(&OpenHeldOnce);
  SetReplaceFunction(&ReplaceHeldOnce);
  open_faults_left = 1;
  injected_fault = platform::FileFault::kAccessDenied;
  faults_left = 1;
  window_.retry_cancel_answers = {RetryCancel::kRetry, RetryCancel::kRetry};
  EXPECT_TRUE(Update());
  EXPECT_EQ(window_.retry_cancel_questions, (Names{in_use, in_use}));
  EXPECT_TRUE(window_.questions.empty());
  EXPECT_EQ(context_.error, 0);
  EXPECT_EQ(game_.Read("ADDONS/X.vbk"), "new");
  EXPECT_EQ(game_.List("ADDONS"), Names{"X.vbk"});
}

TEST_F(StepTest, CancelOnAFileInUseLeavesItAndARerunWorks) {
  game_.Write("X.EXE", "old");
  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")}});
  SetReplaceFunction(&ReplaceHeldOnce);
  injected_fault = platform::FileFault::kInUse;
  faults_left = 1;
  window_.retry_cancel_answers = {RetryCancel::kCancel};
  EXPECT_FALSE(Update());
  EXPECT_EQ(window_.retry_cancel_questions.size(), 1u);
  EXPECT_TRUE(window_.questions.empty());
  EXPECT_EQ(context_.error, 1);
  // The run tells a stop by the player, not a damaged patch.
  EXPECT_EQ(context_.stopped, 1);
  EXPECT_STREQ(context_.failed_file, "X.EXE");
  EXPECT_EQ(game_.Read("X.EXE"), "old");
  EXPECT_EQ(game_.List(), Names{"X.EXE"});

  context_.error = 0;
  EXPECT_TRUE(Update());
  EXPECT_EQ(game_.Read("X.EXE"), "new");
}

TEST_F(StepTest, UnwritableFolderNamesTheFolderAndRetryGoesOn) {
  game_.Write("ADDONS/X.vbk", "old");
  Start({{"1.00-1.01\\ADDONS\\X.vbk.UPD", test::ReplacingUpdate(3, "new")}});
  SetWorkFileCreateFunction(&WorkFileDeniedOnce);
  faults_left = 1;
  window_.retry_cancel_answers = {RetryCancel::kRetry};
  EXPECT_TRUE(Update());
  ASSERT_EQ(window_.retry_cancel_questions.size(), 1u);
  EXPECT_EQ(window_.retry_cancel_questions[0].rfind(
                "Cannot write to the folder " + game_.SystemPath() + "ADDONS.\r\n", 0),
            0u);
  EXPECT_EQ(game_.Read("ADDONS/X.vbk"), "new");
  EXPECT_EQ(game_.List("ADDONS"), Names{"X.vbk"});
}

TEST_F(CopyTest, WholeFileInUseOrUnwritableFolderCancelledKeepsTheInstalledFile) {
  game_.Write("X.DAT", "old");
  Start({{"ALL\\X.DAT", ToBytes("new")}, {"ALL\\Y.DAT", ToBytes("y")}});
  SetReplaceFunction(&ReplaceHeldOnce);
  injected_fault = platform::FileFault::kInUse;
  faults_left = 1;
  window_.retry_cancel_answers = {RetryCancel::kCancel};
  Copy("All\\", {"ALL\\X.DAT", "ALL\\Y.DAT"});
  EXPECT_EQ(window_.retry_cancel_questions,
            Names{"File X.DAT is in use.\r\nClose the game and any program using the file, then "
                  "choose Retry."});
  EXPECT_EQ(context_.error, 1);
  EXPECT_STREQ(context_.failed_file, "X.DAT");
  EXPECT_EQ(game_.Read("X.DAT"), "old");
  EXPECT_EQ(game_.List(), Names{"X.DAT"});

  SetReplaceFunction(nullptr);
  SetWorkFileCreateFunction(&WorkFileDeniedOnce);
  faults_left = 1;
  context_.error = 0;
  window_.retry_cancel_answers = {RetryCancel::kCancel};
  Copy("All\\", {"ALL\\X.DAT"});
  ASSERT_EQ(window_.retry_cancel_questions.size(), 2u);
  EXPECT_EQ(window_.retry_cancel_questions[1].rfind("Cannot write to the folder ", 0), 0u);
  EXPECT_EQ(context_.error, 1);
  EXPECT_EQ(game_.Read("X.DAT"), "old");
  EXPECT_EQ(game_.List(), Names{"X.DAT"});
}

// --- The window answers while files are updated ---

TEST_F(StepTest, WindowIsPumpedPerFileAndPerMappedWindow) {
  game_.Write("A.DAT", "a");
  game_.Write("B.DAT", "b");
  game_.Write("BIG.DAT", "old");
  // Rebuilt from an update that spans several 256 KiB windows, then read
  // back for its list check in several pieces.
  std::string big(3 * kCrcPieceSize + 1000, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + i / 4096);
  Start({{"1.00-1.01\\A.DAT.UPD", test::ReplacingUpdate(1, "aa")},
         {"1.00-1.01\\B.DAT.UPD", test::ReplacingUpdate(1, "bb")},
         {"1.00-1.01\\BIG.DAT.UPD", test::ReplacingUpdate(3, big)},
         {"crc\\1.01\\crc.crc", ListLine("BIG.DAT", {big})}});
  ASSERT_TRUE(Update());
  // One after each file, one at each of the 12 window ends the big one's
  // update crosses and one per piece of its check (4).
  EXPECT_GE(window_.pumps, 3 + 12 + 4);
}

TEST_F(CopyTest, WindowIsPumpedAfterEveryWholeFile) {
  Start({{"ALL\\A.DAT", ToBytes("a")}, {"ALL\\B.DAT", ToBytes("b")}, {"ALL\\C.DAT", ToBytes("c")}});
  Copy("All\\", {"ALL\\A.DAT", "ALL\\B.DAT", "ALL\\C.DAT"});
  EXPECT_EQ(context_.error, 0);
  EXPECT_GE(window_.pumps, 3);
}

#ifndef _WIN32
// --- Work files never follow links ---

TEST_F(StepTest, LinksAtWorkFileNamesNeverLeadOutsideTheInstallation) {
  ScratchDir outside;
  outside.Write("victim.txt", "keep me");
  outside.Write("target.txt", "keep me too");
  const auto victim = outside.Host("victim.txt");
  game_.Write("X.EXE", "old");
  game_.Write("W.DAT", "old whole");
  namespace fs = std::filesystem;
  fs::create_symlink(victim, game_.Host("X.EXE.tmp"));
  fs::create_symlink(victim, game_.Host("X.EXE.UPD"));
  // A link to nothing: a file must not be created at its target either.
  fs::create_symlink(outside.Host("created.txt"), game_.Host("W.DAT.part"));
  // The installed file itself is a link to a read-only file outside: the
  // new file replaces the link; the outside file keeps content and mode.
  fs::permissions(outside.Host("target.txt"), fs::perms::owner_read);
  fs::create_symlink(outside.Host("target.txt"), game_.Host("L.DAT"));

  Start({{"1.00-1.01\\X.EXE.UPD", test::ReplacingUpdate(3, "new")},
         {"1.00-1.01\\L.DAT.UPD", test::ReplacingUpdate(11, "new l")},
         {"ALL\\W.DAT", ToBytes("new whole")}});
  UpdateThenCopyWhole("ALL\\W.DAT");

  EXPECT_EQ(outside.Read("victim.txt"), "keep me");
  EXPECT_EQ(outside.Read("target.txt"), "keep me too");
  EXPECT_EQ(fs::status(outside.Host("target.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read);
  EXPECT_FALSE(outside.Exists("created.txt"));
  EXPECT_EQ(game_.Read("X.EXE"), "new");
  EXPECT_EQ(game_.Read("L.DAT"), "new l");
  EXPECT_FALSE(fs::is_symlink(game_.Host("L.DAT")));
  EXPECT_EQ(game_.Read("W.DAT"), "new whole");
  EXPECT_EQ(game_.List(), (Names{"L.DAT", "W.DAT", "X.EXE"}));
}
#endif

}  // namespace
}  // namespace corvane
