#include <gtest/gtest.h>

#include <string>

#include "foundation/auto_array.h"
#include "foundation/banked_string.h"
#include "foundation/buffer.h"
#include "foundation/format_byte_size.h"
#include "foundation/ref_count.h"
#include "foundation/report_capture.h"

namespace corvane {
namespace {

TEST(AutoArray, GrowsByHalfItsSizeAndAtLeast32) {
  AutoArray<int> array;
  array.Add(1);
  EXPECT_EQ(array.MaxSize(), 32);
  while (array.Size() < 33) array.Add(array.Size());
  EXPECT_EQ(array.MaxSize(), 64);
  while (array.Size() < 65) array.Add(array.Size());
  EXPECT_EQ(array.MaxSize(), 96);
  while (array.Size() < 97) array.Add(array.Size());
  EXPECT_EQ(array.MaxSize(), 144);
  array.Realloc(128);
  while (array.Size() < 129) array.Add(array.Size());
  EXPECT_EQ(array.MaxSize(), 192);
  for (int i = 1; i < array.Size(); ++i) ASSERT_EQ(array[i], i);

  AutoArray<int> sized;
  sized.Resize(10);
  EXPECT_EQ(sized.MaxSize(), 41);  // n - 1 + max(0 / 2, 32)
  EXPECT_EQ(sized[9], 0);
}

TEST(AutoArray, OutOfRangeDeleteReportsAndLeavesTheArray) {
  AutoArray<int> array;
  for (int i = 0; i < 5; ++i) array.Add(i);
  ScopedReportCapture capture;
  array.Delete(-1);
  array.Delete(4, 2);
  array.Delete(2, -1);
  EXPECT_EQ(capture.Count(ReportSlot::kErrorAt), 3);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, ") : Array index out of range"));
  ASSERT_EQ(array.Size(), 5);
  array.Delete(1, 2);
  ASSERT_EQ(array.Size(), 3);
  EXPECT_EQ(array[0], 0);
  EXPECT_EQ(array[1], 3);
  EXPECT_EQ(array[2], 4);
  EXPECT_EQ(capture.Count(), 3);
}

// Counts allocations to show that storage moves (in-place resize refused)
// and that everything allocated is given back.
class CountingMemFunctions : public MemFunctions {
 public:
  void* New(size_t size) override {
    ++live;
    return MemFunctions::New(size);
  }
  void Delete(void* block) override {
    if (block) --live;
    MemFunctions::Delete(block);
  }
  int live = 0;
};

TEST(AutoArray, RelocatesRStringsBitwiseWithoutTouchingCounts) {
  CountingMemFunctions counting;
  MemFunctions* previous = SetMemFunctions(&counting);
  {
    RString shared("shared");
    AutoArray<RString> array;
    for (int i = 0; i < 100; ++i) array.Add(shared);
    EXPECT_EQ(shared.RefCounter(), 101);
    array.Add(array[0]);  // element of the array itself while it grows
    EXPECT_EQ(shared.RefCounter(), 102);
    array.Resize(200);
    EXPECT_TRUE(array[150].IsNull());
    array.Resize(10);
    EXPECT_EQ(shared.RefCounter(), 11);
    array.Insert(0, RString("first"));
    EXPECT_STREQ(array[0].Data(), "first");
    EXPECT_STREQ(array[1].Data(), "shared");
    AutoArray<RString> copy(array);
    EXPECT_EQ(shared.RefCounter(), 21);
    array.Clear();
    EXPECT_EQ(array.MaxSize(), 0);
    EXPECT_EQ(shared.RefCounter(), 11);
  }
  EXPECT_EQ(counting.live, 0);
  SetMemFunctions(previous);
}

TEST(BankedString, EqualTextsShareOneBlockUntilTheLastRelease) {
  RStringBank& bank = CaseSensitiveStringBank();
  const int before = bank.Count();
  const void* first_block;
  {
    BankedString a("banked_string_test_entry");
    BankedString b("banked_string_test_entry");
    first_block = a.Block();
    EXPECT_EQ(a.Block(), b.Block());
    EXPECT_EQ(a.RefCounter(), 3);  // two handles and the bank
    EXPECT_EQ(bank.Count(), before + 1);
    BankedString other("Banked_String_Test_Entry");
    EXPECT_NE(other.Block(), a.Block());
    b = a;  // self-sharing assignment keeps the block registered
    EXPECT_EQ(bank.Count(), before + 2);
  }
  EXPECT_EQ(bank.Count(), before);
  EXPECT_EQ(bank.Find("banked_string_test_entry"), nullptr);
  BankedString again("banked_string_test_entry");
  EXPECT_EQ(again.RefCounter(), 2);
  (void)first_block;
}

TEST(BankedString, NoCaseBankKeepsTheFirstSpelling) {
  BankedStringNoCase first("Abc_banked_nocase");
  BankedStringNoCase second("aBC_BANKED_NOCASE");
  EXPECT_EQ(first.Block(), second.Block());
  EXPECT_STREQ(second.Data(), "Abc_banked_nocase");
  EXPECT_TRUE(second == "abc_banked_nocase");
  BankedString sensitive("Abc_banked_nocase");
  EXPECT_NE(sensitive.Block(), first.Block());
}

TEST(RStringBank, HashTableGrowsTo31BucketsAfter240Strings) {
  RStringBank bank(false);
  EXPECT_EQ(bank.BucketCount(), 15);
  for (int i = 0; i < 240; ++i) bank.Add(FormatString("name%d", i));
  EXPECT_EQ(bank.BucketCount(), 15);
  bank.Add(RString("one more"));
  EXPECT_EQ(bank.BucketCount(), 31);
  EXPECT_EQ(bank.Count(), 241);
  for (int i = 0; i < 240; ++i) ASSERT_NE(bank.Find(FormatString("name%d", i).Data()), nullptr);
  // Adding an equal text replaces the held block.
  RString replacement("name7");
  bank.Add(replacement);
  EXPECT_EQ(bank.Find("name7")->Block(), replacement.Block());
  EXPECT_EQ(bank.Count(), 241);
  EXPECT_EQ(bank.Hash("ab"), 97u * 33u + 98u);
  bank.Clear();
  EXPECT_EQ(bank.Count(), 0);
  EXPECT_EQ(bank.BucketCount(), 31);
}

TEST(RStringBank, DestructionLogsLateReleases) {
  ScopedReportCapture capture;
  RString kept("kept");
  {
    RStringBank bank(true);
    bank.Add(kept);
    bank.Add(RString("dropped"));
    EXPECT_EQ(bank.Hash("AB"), bank.Hash("ab"));
  }
  EXPECT_EQ(
      capture.Texts(ReportSlot::kLog),
      (std::vector<std::string>{"RStringBank destruct", "Error: String kept late release (2)"}));
  EXPECT_EQ(kept.RefCounter(), 1);
}

class Counted : public RefCount {
 public:
  explicit Counted(int* deleted) : deleted_(deleted) {}
  ~Counted() override { ++*deleted_; }

 private:
  int* deleted_;
};

TEST(Ref, AddsTheNewReferenceBeforeReleasingTheOld) {
  int deleted = 0;
  Ref<Counted> a = new Counted(&deleted);
  Ref<Counted> b = a;
  EXPECT_EQ(a->RefCounter(), 2);
  b.Free();
  Ref<Counted>& same = a;  // through a reference, so compilers do not warn
  a = same;
  a = a.GetRef();
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(a->RefCounter(), 1);
  Ref<RefCount> base = a;
  a.Free();
  EXPECT_EQ(deleted, 0);
  base = nullptr;
  EXPECT_EQ(deleted, 1);

  Ref<Buffer<char>> buffer = new Buffer<char>(16);
  EXPECT_EQ(buffer->Size(), 16);
  EXPECT_EQ(buffer->GetMemoryUsed(), 16.0);
  EXPECT_EQ((*buffer)[15], 0);
}

TEST(FormatByteSize, UnitAndDecimalBoundaries) {
  EXPECT_STREQ(FormatByteSize(0).Data(), "0 B");
  EXPECT_STREQ(FormatByteSize(999).Data(), "999 B");
  EXPECT_STREQ(FormatByteSize(1000).Data(), "1.0 KB");
  EXPECT_STREQ(FormatByteSize(9727).Data(), "9.5 KB");
  EXPECT_STREQ(FormatByteSize(9728).Data(), "10 KB");
  EXPECT_STREQ(FormatByteSize(1023487).Data(), "999 KB");
  EXPECT_STREQ(FormatByteSize(1023488).Data(), "1.0 MB");
  EXPECT_STREQ(FormatByteSize(9961471).Data(), "9.5 MB");
  EXPECT_STREQ(FormatByteSize(9961472).Data(), "10 MB");
  EXPECT_STREQ(FormatByteSize(1048051711).Data(), "999 MB");
  EXPECT_STREQ(FormatByteSize(1048051712).Data(), "1.0 GB");
  EXPECT_STREQ(FormatByteSize(4294967295u).Data(), "4.0 GB");
  // The maker's progress counts past 4 GiB with the same rules.
  EXPECT_STREQ(FormatByteSize(uint64_t{5} << 32).Data(), "20.0 GB");
}

}  // namespace
}  // namespace corvane
