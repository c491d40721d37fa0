#include "engine/apply_patch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_test_support.h"

namespace corvane {
namespace {

using testing_support::Bytes;
using testing_support::Exists;
using testing_support::PutField;
using testing_support::ReadFile;
using testing_support::ReadText;
using testing_support::ToBytes;
using testing_support::WriteFile;

// The 30-byte update that turns "abc" into "abcd".
Bytes AbcToAbcd() {
  Bytes update = {0x01};   // kind 1
  PutField(update, 4);     // new size
  PutField(update, 3);     // old size
  PutField(update, 3);     // copy 3 bytes
  PutField(update, 0);     //   from old offset 0
  PutField(update, 1);     // insert 1 byte
  PutField(update, 3);     //   at new position 3
  update.push_back(0x64);  //   'd'
  PutField(update, 394);   // 0x61 + 0x62 + 0x63 + 0x64
  return update;
}

class ApplyPatchTest : public testing_support::ScratchDirectoryTest {
 protected:
  // Applies `update` to the old file (if given) and answers the result; the
  // standard output of the run lands in `printed_`.
  int Apply(const Bytes& update, const Bytes* old_bytes, bool remove_on_failure = true) {
    WriteFile(Path("x.upd"), update);
    if (old_bytes != nullptr) WriteFile(Path("old.bin"), *old_bytes);
    std::unique_ptr<IPatchAction> action(NewApplyPatch());
    ::testing::internal::CaptureStdout();
    PatchResult result = action->Process(Path("out.bin").c_str(), Path("x.upd").c_str(),
                                         Path("old.bin").c_str(), remove_on_failure);
    printed_ = ::testing::internal::GetCapturedStdout();
    return result;
  }

  std::string Log() { return ReadText(Path("patch.log")); }

  std::string printed_;
};

TEST_F(ApplyPatchTest, WorkedExampleTurnsAbcIntoAbcd) {
  Bytes old_bytes = ToBytes("abc");
  ASSERT_EQ(AbcToAbcd().size(), 30u);
  EXPECT_EQ(Apply(AbcToAbcd(), &old_bytes), kPatchDone);
  EXPECT_EQ(ReadText(Path("out.bin")), "abcd");
  EXPECT_EQ(printed_, "");
  EXPECT_FALSE(Exists(Path("patch.log")));
  EXPECT_EQ(ReadText(Path("old.bin")), "abc");
}

TEST_F(ApplyPatchTest, OldFileOfWrongLengthFailsBeforeAnyOutput) {
  Bytes old_bytes = ToBytes("abcd");
  EXPECT_EQ(Apply(AbcToAbcd(), &old_bytes), kPatchFailed);
  EXPECT_EQ(printed_, "Incompatible patch version.\n");
  EXPECT_EQ(Log(), "File " + Path("old.bin") + ": bad size: 4 (old=3, new=4)\r\n");
  EXPECT_FALSE(Exists(Path("out.bin")));
}

TEST_F(ApplyPatchTest, UnchangedShapeTouchesNothingEvenWithWrongChecksum) {
  Bytes old_bytes = ToBytes("hello");
  Bytes update = {0x01};
  PutField(update, 5);
  PutField(update, 5);
  PutField(update, 5);      // copy the whole file
  PutField(update, 0);      //   from 0
  PutField(update, 0);      // no insert
  PutField(update, 12345);  // wrong checksum: never examined
  ASSERT_EQ(update.size(), 25u);
  WriteFile(Path("out.bin"), ToBytes("keep"));
  EXPECT_EQ(Apply(update, &old_bytes), kPatchNothingToDo);
  EXPECT_EQ(ReadText(Path("out.bin")), "keep");
  EXPECT_FALSE(Exists(Path("patch.log")));

  // One byte more is an ordinary difference, applied and verified in full:
  // the checksum is then the 4 bytes after the record.
  update.resize(21);
  PutField(update, 'h' + 'e' + 'l' + 'l' + 'o');
  update.push_back(0x00);
  EXPECT_EQ(Apply(update, &old_bytes), kPatchDone);
  EXPECT_EQ(ReadText(Path("out.bin")), "hello");

  // So is a non-zero copy offset, which here reaches past the old file.
  update.resize(25);
  update[13] = 1;
  EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed);
  EXPECT_FALSE(Exists(Path("out.bin")));
  EXPECT_EQ(printed_, "");
}

TEST_F(ApplyPatchTest, DeletionUpdateDeletesOutputOnly) {
  Bytes old_bytes = ToBytes("abc");
  WriteFile(Path("out.bin"), ToBytes("stale"));
  EXPECT_EQ(Apply({0x02}, &old_bytes), kPatchNothingToDo);
  EXPECT_FALSE(Exists(Path("out.bin")));
  EXPECT_EQ(ReadText(Path("old.bin")), "abc");
  EXPECT_EQ(Apply({0x02}, &old_bytes), kPatchNothingToDo);  // absence is no error
}

// A maker proving an update takes the new bytes as they are made: the same
// answers as with a file, and nothing is ever created or deleted.
TEST_F(ApplyPatchTest, AConsumerTakesTheNewBytesAndNoFileIsTouched) {
  WriteFile(Path("old.bin"), ToBytes("abc"));
  WriteFile(Path("out.bin"), ToBytes("must stay"));
  auto apply = [&](const Bytes& update, std::string* made) {
    WriteFile(Path("x.upd"), update);
    ApplyPatch action;
    action.SetConsumer([made](const uint8_t* data, size_t size) {
      made->append(reinterpret_cast<const char*>(data), size);
    });
    ::testing::internal::CaptureStdout();
    const int result =
        action.Process(nullptr, Path("x.upd").c_str(), Path("old.bin").c_str(), true);
    ::testing::internal::GetCapturedStdout();
    return result;
  };
  std::string made;
  EXPECT_EQ(apply(AbcToAbcd(), &made), kPatchDone);
  EXPECT_EQ(made, "abcd");
  Bytes bad_sum = AbcToAbcd();
  bad_sum.back() ^= 0x01;
  made.clear();
  EXPECT_EQ(apply(bad_sum, &made), kPatchFailed);
  EXPECT_EQ(apply(Bytes{0x02}, &made), kPatchNothingToDo);  // a deletion deletes nothing here
  EXPECT_EQ(ReadText(Path("out.bin")), "must stay");
  EXPECT_EQ(ReadText(Path("old.bin")), "abc");
}

TEST_F(ApplyPatchTest, KindZeroNeedsNoOldFileButRefusesANonEmptyOne) {
  Bytes update = {0x00};
  PutField(update, 3);  // new size
  PutField(update, 0);  // old size
  PutField(update, 0);  // no copy
  PutField(update, 3);  // insert 3
  PutField(update, 0);  //   at 0
  for (char c : std::string("xyz")) update.push_back(static_cast<uint8_t>(c));
  PutField(update, 'x' + 'y' + 'z');
  EXPECT_EQ(Apply(update, nullptr), kPatchDone);
  EXPECT_EQ(ReadText(Path("out.bin")), "xyz");

  Bytes old_bytes = ToBytes("q");
  EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed);
  EXPECT_EQ(Log(), "File " + Path("old.bin") + ": bad size: 1 (old=0, new=3)\r\n");
}

TEST_F(ApplyPatchTest, MissingOldFileWarnsThenFailsOnSize) {
  EXPECT_EQ(Apply(AbcToAbcd(), nullptr), kPatchFailed);
  EXPECT_EQ(printed_,
            "Warning: Cannot read " + Path("old.bin") + "\nIncompatible patch version.\n");
  EXPECT_EQ(Log(), "Cannot read " + Path("old.bin") + "\r\nFile " + Path("old.bin") +
                       ": bad size: 0 (old=3, new=4)\r\n");
}

TEST_F(ApplyPatchTest, ChangedInsertByteFailsTheChecksum) {
  Bytes old_bytes = ToBytes("abc");
  Bytes update = AbcToAbcd();
  update[25] = 0x65;
  EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed);
  EXPECT_EQ(printed_, "Incompatible patch version.\n");
  EXPECT_EQ(Log(), "File " + Path("out.bin") + ": bad checksum: 395 (expected=394)\r\n");
  EXPECT_FALSE(Exists(Path("out.bin")));

  EXPECT_EQ(Apply(update, &old_bytes, /*remove_on_failure=*/false), kPatchFailed);
  EXPECT_EQ(ReadText(Path("out.bin")), "abce");  // left unverified on request
}

TEST_F(ApplyPatchTest, RunsPastTheNewSizeFailAndNeverWritePastIt) {
  Bytes old_bytes = ToBytes("abc");
  Bytes update = {0x01};
  PutField(update, 4);
  PutField(update, 3);
  PutField(update, 3);
  PutField(update, 0);
  PutField(update, 3);  // 3 inline bytes: the runs make 6 bytes, not 4
  PutField(update, 3);
  for (char c : std::string("def")) update.push_back(static_cast<uint8_t>(c));
  PutField(update, 'a' + 'b' + 'c' + 'd' + 'e' + 'f');
  EXPECT_EQ(Apply(update, &old_bytes, /*remove_on_failure=*/false), kPatchFailed);
  EXPECT_EQ(Log(), "File " + Path("out.bin") + ": bad size: 6 (expected=4)\r\n");
  EXPECT_EQ(ReadText(Path("out.bin")), "abcd");
}

TEST_F(ApplyPatchTest, CutOffUpdateFailsSilentlyAndLeavesNoOutput) {
  Bytes old_bytes = ToBytes("abc");
  Bytes update = AbcToAbcd();
  for (size_t cut : {10u, 17u, 21u, 24u}) {
    update.resize(cut);
    EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed) << cut;
    EXPECT_FALSE(Exists(Path("out.bin"))) << cut;
  }
  EXPECT_EQ(printed_, "");
  EXPECT_FALSE(Exists(Path("patch.log")));
}

TEST_F(ApplyPatchTest, UnreadableUpdateIsReported) {
  std::unique_ptr<IPatchAction> action(NewApplyPatch());
  ::testing::internal::CaptureStdout();
  PatchResult result = action->Process(Path("out.bin").c_str(), Path("none.upd").c_str(),
                                       Path("old.bin").c_str(), true);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot read " + Path("none.upd") + "\n");
  EXPECT_EQ(result, kPatchFailed);
  EXPECT_EQ(Log(), "Cannot read " + Path("none.upd") + "\r\n");
  EXPECT_EQ(Apply({}, nullptr), kPatchFailed);  // an empty update cannot be mapped
}

// A file name is text, never a format: "%s" and "%n" in a hostile name land
// in the print and the log as they are.
TEST_F(ApplyPatchTest, PercentSignsInANameAreWrittenAsTheyAre) {
  const std::string name = Path("100%s%n%d.upd");
  std::unique_ptr<IPatchAction> action(NewApplyPatch());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(action->Process(Path("out.bin").c_str(), name.c_str(), Path("old.bin").c_str(), true),
            kPatchFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot read " + name + "\n");
  EXPECT_EQ(Log(), "Cannot read " + name + "\r\n");
}

TEST_F(ApplyPatchTest, UnwritableLogLosesTheLineButNotTheResult) {
  std::filesystem::create_directory(Path("patch.log"));
  Bytes old_bytes = ToBytes("abcd");
  EXPECT_EQ(Apply(AbcToAbcd(), &old_bytes), kPatchFailed);
  EXPECT_EQ(printed_, "Incompatible patch version.\nCannot write to log file\n");
  old_bytes = ToBytes("abc");
  EXPECT_EQ(Apply(AbcToAbcd(), &old_bytes), kPatchDone);
}

// The caller's messages take the place of standard output and the log, each
// message whole, and nothing reaches either of those.
TEST_F(ApplyPatchTest, MessagesGoWhereTheCallerSays) {
  std::vector<std::string> printed, logged;
  PatchMessages messages([&](const char* text) { printed.emplace_back(text); },
                         [&](const char* text) { logged.emplace_back(text); });
  WriteFile(Path("x.upd"), AbcToAbcd());
  WriteFile(Path("old.bin"), ToBytes("abcd"));
  std::unique_ptr<IPatchAction> action(NewApplyPatch(messages));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(action->Process(Path("out.bin").c_str(), Path("x.upd").c_str(), Path("old.bin").c_str(),
                            true),
            kPatchFailed);
  // A path as long as the engine takes: its log line is cut, its print is not.
  const std::string missing = Path(std::string(1000, 'n') + ".upd");
  EXPECT_EQ(
      action->Process(Path("out.bin").c_str(), missing.c_str(), Path("old.bin").c_str(), true),
      kPatchFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(Exists(Path("patch.log")));
  ASSERT_EQ(printed.size(), 2u);
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(printed[0], "Incompatible patch version.\n");
  EXPECT_EQ(logged[0], "File " + Path("old.bin") + ": bad size: 4 (old=3, new=4)\n");
  EXPECT_EQ(printed[1], "Cannot read " + missing + "\n");
  EXPECT_EQ(logged[1], ("Cannot read " + missing + "\n").substr(0, 1023));

  // Silent messages: the same failure, heard nowhere.
  std::unique_ptr<IPatchAction> silent(NewApplyPatch(PatchMessages::Silent()));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(silent->Process(Path("out.bin").c_str(), Path("x.upd").c_str(), Path("old.bin").c_str(),
                            true),
            kPatchFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(Exists(Path("patch.log")));
}

TEST_F(ApplyPatchTest, UnknownKindFailsWithoutMessage) {
  Bytes update = AbcToAbcd();
  update[0] = 7;
  Bytes old_bytes = ToBytes("abc");
  EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed);
  EXPECT_EQ(printed_, "");
  EXPECT_FALSE(Exists(Path("out.bin")));
}

TEST_F(ApplyPatchTest, ChecksumIsASumOfSignedBytes) {
  // 0x80 alone sums to -128, stored as 80 FF FF FF; 0xFF and 0x01 sum to 0.
  Bytes update = {0x00};
  PutField(update, 1);
  PutField(update, 0);
  PutField(update, 0);
  PutField(update, 1);
  PutField(update, 0);
  update.push_back(0x80);
  update.insert(update.end(), {0x80, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Apply(update, nullptr), kPatchDone);
  EXPECT_EQ(ReadFile(Path("out.bin")), Bytes{0x80});

  update = {0x00};
  PutField(update, 2);
  PutField(update, 0);
  PutField(update, -7);  // a negative copy length is an empty run without an offset
  PutField(update, 2);
  PutField(update, 0);
  update.insert(update.end(), {0xFF, 0x01});
  PutField(update, 0);
  EXPECT_EQ(Apply(update, nullptr), kPatchDone);
  EXPECT_EQ(ReadFile(Path("out.bin")), (Bytes{0xFF, 0x01}));
}

TEST_F(ApplyPatchTest, EmptyNewFileHasThirteenBytes) {
  Bytes old_bytes = ToBytes("abc");
  Bytes update = {0x01};
  PutField(update, 0);
  PutField(update, 3);
  PutField(update, 0);
  EXPECT_EQ(Apply(update, &old_bytes), kPatchDone);
  EXPECT_TRUE(Exists(Path("out.bin")));
  EXPECT_TRUE(ReadFile(Path("out.bin")).empty());
}

TEST_F(ApplyPatchTest, HostileRecordsAreRefusedWithoutReadingOutside) {
  Bytes old_bytes = ToBytes("abc");
  struct Case {
    const char* what;
    int32_t copy_length, copy_offset, insert_length;
  };
  const Case cases[] = {
      {"offset past the old file", 1, 3, 0},
      {"negative offset", 2, -1, 0},
      {"offset + length wraps in 32 bits", 2, 0x7FFFFFFF, 0},
      {"length past the old file", 0x7FFFFFFF, 0, 0},
      {"insert longer than the update", 0, 0, 0x7FFFFFFF},
      {"insert length wrapping the cursor", 0, 0, 0x7FFFFFF0},
  };
  for (const Case& c : cases) {
    Bytes update = {0x01};
    PutField(update, 0x7FFFFFFF);  // new size
    PutField(update, 3);
    PutField(update, c.copy_length);
    if (c.copy_length > 0) PutField(update, c.copy_offset);
    PutField(update, c.insert_length);
    if (c.insert_length > 0) PutField(update, 0);
    update.insert(update.end(), {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(Apply(update, &old_bytes), kPatchFailed) << c.what;
    EXPECT_FALSE(Exists(Path("out.bin"))) << c.what;
  }
  EXPECT_FALSE(Exists(Path("patch.log")));
}

TEST_F(ApplyPatchTest, ProcessFileRebuildsNamesEndingInUpd) {
  namespace fs = std::filesystem;
  for (const char* sub : {"new", "upd", "old"}) fs::create_directory(Path(sub));
  WriteFile(Path("old/X.vbk"), ToBytes("abc"));
  WriteFile(Path("upd/X.vbk.UPD"), AbcToAbcd());
  std::string sep(1, static_cast<char>(fs::path::preferred_separator));
  std::unique_ptr<IPatchAction> action(NewApplyPatch());
  EXPECT_EQ(action->ProcessFile((Path("new") + sep).c_str(), (Path("upd") + sep).c_str(),
                                (Path("old") + sep).c_str(), "X.vbk.UPD"),
            kPatchDone);
  EXPECT_EQ(ReadText(Path("new/X.vbk")), "abcd");
  EXPECT_EQ(action->ProcessFile("", "", "", "X.vbk"), kPatchNothingToDo);
  EXPECT_EQ(action->ProcessFile("", "", "", "X.upd.bak"), kPatchNothingToDo);
  std::string long_directory(1100, 'd');
  EXPECT_EQ(action->ProcessFile(long_directory.c_str(), "", "", "X.vbk.upd"), kPatchFailed);
}

}  // namespace
}  // namespace corvane
