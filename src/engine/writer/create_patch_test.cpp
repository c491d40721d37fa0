#include "engine/writer/create_patch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/apply_patch.h"
#include "engine/engine_test_support.h"
#include "engine/writer/compact_update.h"
#include "foundation/report_capture.h"

namespace corvane {
namespace {

using testing_support::Bytes;
using testing_support::Exists;
using testing_support::PutField;
using testing_support::ReadFile;
using testing_support::WriteFile;

int32_t Sum(const Bytes& bytes) {
  uint32_t sum = 0;
  for (uint8_t b : bytes) sum += static_cast<uint32_t>(static_cast<int8_t>(b));
  return static_cast<int32_t>(sum);
}

Bytes Range(int first, int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(first + i));
  return bytes;
}

class CreatePatchTest : public testing_support::ScratchDirectoryTest {
 protected:
  int Create(const Bytes* old_bytes, const Bytes* new_bytes) {
    if (old_bytes) WriteFile(Path("old.bin"), *old_bytes);
    if (new_bytes) WriteFile(Path("new.bin"), *new_bytes);
    std::filesystem::remove(Path("x.upd"));
    std::unique_ptr<IPatchAction> action(NewCreatePatch());
    ::testing::internal::CaptureStdout();
    PatchResult result = action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(),
                                         Path("x.upd").c_str(), true);
    printed_ = ::testing::internal::GetCapturedStdout();
    return result;
  }

  std::string printed_;
};

TEST_F(CreatePatchTest, IdenticalFilesGiveTheUnchangedShape) {
  Bytes bytes = Range(3, 200);
  ASSERT_EQ(Create(&bytes, &bytes), kPatchDone);
  Bytes expected = {0x01};
  PutField(expected, 200);
  PutField(expected, 200);
  PutField(expected, 200);
  PutField(expected, 0);
  PutField(expected, 0);
  PutField(expected, Sum(bytes));
  EXPECT_EQ(ReadFile(Path("x.upd")), expected);
  EXPECT_NE(printed_.find(std::string(30, ' ') + "0 KB\r"), std::string::npos);
}

TEST_F(CreatePatchTest, WithoutOldFileTheWholeFileIsOneInsert) {
  Bytes bytes = Range(0, 250);
  for (int i = 0; i < 40; ++i) bytes.insert(bytes.end(), bytes.begin(), bytes.begin() + 250);
  ASSERT_EQ(Create(nullptr, &bytes), kPatchDone);
  Bytes expected = {0x00};
  PutField(expected, static_cast<int32_t>(bytes.size()));
  PutField(expected, 0);
  PutField(expected, 0);
  PutField(expected, static_cast<int32_t>(bytes.size()));
  PutField(expected, 0);
  expected.insert(expected.end(), bytes.begin(), bytes.end());
  PutField(expected, Sum(bytes));
  EXPECT_EQ(ReadFile(Path("x.upd")), expected);
}

TEST_F(CreatePatchTest, OneChangedByteGivesExactlyTwoRecords) {
  // Old A X B, new A Y B. The search inserts Y and the first byte of B, then
  // finds B one byte on; the pending record moves that byte back into the copy.
  Bytes a = Range(100, 20), b = Range(150, 40);
  Bytes old_bytes = a, new_bytes = a;
  old_bytes.push_back(1);
  new_bytes.push_back(2);
  old_bytes.insert(old_bytes.end(), b.begin(), b.end());
  new_bytes.insert(new_bytes.end(), b.begin(), b.end());
  ASSERT_EQ(Create(&old_bytes, &new_bytes), kPatchDone);

  Bytes expected = {0x01};
  PutField(expected, 61);
  PutField(expected, 61);
  PutField(expected, 20);  // copy A
  PutField(expected, 0);
  PutField(expected, 1);  // insert Y
  PutField(expected, 20);
  expected.push_back(2);
  PutField(expected, 40);  // copy B
  PutField(expected, 21);
  PutField(expected, 0);  // no insert
  PutField(expected, Sum(new_bytes));
  EXPECT_EQ(ReadFile(Path("x.upd")), expected);
}

TEST_F(CreatePatchTest, UpToDateUpdateIsLeftAlone) {
  namespace fs = std::filesystem;
  Bytes old_bytes = Range(0, 50), new_bytes = Range(1, 50);
  WriteFile(Path("old.bin"), old_bytes);
  WriteFile(Path("new.bin"), new_bytes);
  WriteFile(Path("x.upd"), {0x42});
  auto now = fs::last_write_time(Path("new.bin"));
  fs::last_write_time(Path("old.bin"), now - std::chrono::hours(2));
  fs::last_write_time(Path("new.bin"), now - std::chrono::hours(1));
  fs::last_write_time(Path("x.upd"), now);
  std::unique_ptr<IPatchAction> action(NewCreatePatch());
  EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("x.upd").c_str(),
                            true),
            kPatchDone);
  EXPECT_EQ(ReadFile(Path("x.upd")), Bytes{0x42});

  // A newer old file makes it stale: it is made again.
  fs::last_write_time(Path("old.bin"), now + std::chrono::hours(1));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("x.upd").c_str(),
                            true),
            kPatchDone);
  ::testing::internal::GetCapturedStdout();
  EXPECT_GT(ReadFile(Path("x.upd")).size(), 13u);
}

TEST_F(CreatePatchTest, MissingNewFileIsAnErrorAndLeavesNoUpdate) {
  Bytes old_bytes = Range(0, 10);
  ScopedReportCapture reports;
  EXPECT_EQ(Create(&old_bytes, nullptr), kPatchFailed);
  EXPECT_TRUE(reports.Contains(ReportSlot::kErrorAt, "patch(541) : Error"));
  EXPECT_FALSE(Exists(Path("x.upd")));
}

TEST_F(CreatePatchTest, EmptyNewFileGivesTheThirteenByteUpdate) {
  Bytes old_bytes = Range(0, 10), empty;
  ASSERT_EQ(Create(&old_bytes, &empty), kPatchDone);
  Bytes expected = {0x01};
  PutField(expected, 0);
  PutField(expected, 10);
  PutField(expected, 0);
  EXPECT_EQ(ReadFile(Path("x.upd")), expected);
}

TEST_F(CreatePatchTest, UnwritableUpdateIsReported) {
  Bytes bytes = Range(0, 10);
  WriteFile(Path("old.bin"), bytes);
  WriteFile(Path("new.bin"), bytes);
  std::unique_ptr<IPatchAction> action(NewCreatePatch());
  std::string target = Path("no_such_dir") + "/x.upd";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), target.c_str(), true),
            kPatchFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Cannot write " + target + "\n");
}

// Every writer prints through the messages it was made with: its progress
// line when it ends, and what it could not write; never on standard output.
TEST_F(CreatePatchTest, WritersPrintThroughTheirMessages) {
  Bytes old_bytes = Range(0, 10), new_bytes = Range(1, 10);
  WriteFile(Path("old.bin"), old_bytes);
  WriteFile(Path("new.bin"), new_bytes);
  const std::string unwritable = Path("no_such_dir") + "/x.upd";
  std::vector<std::string> printed;
  PatchMessages messages([&](const char* text) { printed.emplace_back(text); },
                         [](const char*) { ADD_FAILURE() << "a writer keeps no log"; });
  ::testing::internal::CaptureStdout();
  for (auto* make : {&NewCreatePatch, &NewCreateCompactPatch}) {
    printed.clear();
    std::filesystem::remove(Path("x.upd"));
    std::unique_ptr<IPatchAction> action(make(messages));
    EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(),
                              Path("x.upd").c_str(), true),
              kPatchDone);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0], std::string(20, ' ') + "          0 KB\r");
    EXPECT_EQ(
        action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), unwritable.c_str(), true),
        kPatchFailed);
    EXPECT_EQ(printed.back(), "Cannot write " + unwritable + "\n");
  }
  std::filesystem::remove(Path("new.bin"));
  printed.clear();
  std::unique_ptr<IPatchAction> deletion(NewCreateDelete(messages));
  EXPECT_EQ(
      deletion->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), unwritable.c_str(), true),
      kPatchFailed);
  EXPECT_EQ(printed, std::vector<std::string>{"Cannot write " + unwritable + "\n"});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(CreatePatchTest, DeletionUpdateOnlyForMissingOrEmptyNewFile) {
  std::unique_ptr<IPatchAction> action(NewCreateDelete());
  WriteFile(Path("new.bin"), {7});
  EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("d.upd").c_str(),
                            true),
            kPatchDone);
  EXPECT_FALSE(Exists(Path("d.upd")));

  std::filesystem::remove(Path("new.bin"));
  EXPECT_EQ(action->Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("d.upd").c_str(),
                            true),
            kPatchDone);
  EXPECT_EQ(ReadFile(Path("d.upd")), Bytes{0x02});

  WriteFile(Path("new.bin"), {});
  std::filesystem::remove(Path("d.upd"));
  EXPECT_EQ(action->ProcessFile("", "", "", Path("new.bin").c_str()), kPatchDone);
  EXPECT_EQ(ReadFile(Path("new.bin.upd")), Bytes{0x02});
}

TEST(DifferenceSearchArithmeticTest, RadiusAndStepRoundHalfToEven) {
  EXPECT_EQ(SearchRadius(1.0f, 1 << 20), 256);  // 256.5 rounds to 256
  EXPECT_EQ(SearchRadius(1.0f, 61), 62);        // 61.5 rounds to 62
  EXPECT_EQ(SearchRadius(1.0f, 0), 0);
  EXPECT_EQ(InsertStep(1.0f), 2);       // 1.5 rounds to 2
  EXPECT_EQ(InsertStep(2.5f), 3);       // 3.0
  EXPECT_EQ(InsertStep(1e30f), 16384);  // 16384.5 rounds to 16384
  float growth = 1.0f;
  for (int i = 0; i < 10; ++i) growth = GrowFactor(growth);
  EXPECT_EQ(growth, 2.59374285f);  // ten single-precision steps of 1.1f
  for (int i = 0; i < 1000; ++i) growth = GrowFactor(growth);
  EXPECT_EQ(SearchRadius(growth, 5000), 5000);  // growth overflows to infinity
  EXPECT_EQ(InsertStep(growth), 16384);
}

}  // namespace
}  // namespace corvane
