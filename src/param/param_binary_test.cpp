#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_value.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

// Builds byte fixtures field by field, as the layout describes them.
class Bytes {
 public:
  Bytes& U8(int v) {
    data.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Bytes& I32(int32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint32_t>(v) >> (8 * i) & 0xFF);
    return *this;
  }
  Bytes& Str(const char* s) {
    for (const char* p = s; *p; ++p) U8(static_cast<unsigned char>(*p));
    return U8(0);
  }
  Bytes& Compact(uint32_t v) {
    do {
      U8((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
      v >>= 7;
    } while (v);
    return *this;
  }
  Bytes& Signature() { return U8(0x00).U8(0x72).U8(0x61).U8(0x50); }
  int Pos() const { return static_cast<int>(data.size()); }
  void Patch(int at, int32_t v) {
    for (int i = 0; i < 4; ++i)
      data[static_cast<size_t>(at) + static_cast<size_t>(i)] =
          static_cast<uint32_t>(v) >> (8 * i) & 0xFF;
  }
  // The header of version 8; answers where the enum table's position goes.
  int Header8() {
    Signature().I32(0).I32(8);
    int enum_at = Pos();
    I32(0);
    return enum_at;
  }
  // An empty enum table here, its position written at `enum_at`.
  Bytes& EmptyEnumTable(int enum_at) {
    Patch(enum_at, Pos());
    return I32(0);
  }
  // The root body's end offset (pointing just past itself), then an empty
  // enum table.
  Bytes& EndRoot(int enum_at) {
    int end_at = Pos();
    I32(0);
    Patch(end_at, Pos());
    return EmptyEnumTable(enum_at);
  }
  std::vector<uint8_t> data;
};

std::string AllReports(const ScopedReportCapture& capture) {
  std::string all;
  for (const auto& report : capture.Reports()) all += report.text + "\n";
  return all;
}

bool Load(ParamFile& file, const std::vector<uint8_t>& bytes) {
  QIStrStream in(bytes.data(), bytes.size());
  return file.LoadBin(in);
}

std::vector<uint8_t> Save(ParamFile& file) {
  QOStrStream out;
  EXPECT_TRUE(file.SaveBin(out));
  const auto* p = reinterpret_cast<const uint8_t*>(out.str());
  return std::vector<uint8_t>(p, p + out.GetLength());
}

std::string Text(const ParamFile& file) {
  QOStrStream out;
  file.SaveText(out, 0, "\n");
  return std::string(out.str() ? out.str() : "", static_cast<size_t>(out.GetLength()));
}

void ExpectSameItems(const IParamArrayValue& a, const IParamArrayValue& b) {
  ASSERT_EQ(a.IsArray(), b.IsArray());
  if (a.IsArray()) {
    ASSERT_EQ(a.GetItemCount(), b.GetItemCount());
    for (int i = 0; i < a.GetItemCount(); ++i) ExpectSameItems(a.GetItem(i), b.GetItem(i));
    return;
  }
  EXPECT_EQ(a.IsTextValue(), b.IsTextValue());
  EXPECT_EQ(a.IsFloatValue(), b.IsFloatValue());
  EXPECT_EQ(a.IsIntValue(), b.IsIntValue());
  EXPECT_EQ(a.IsExpression(), b.IsExpression());
  EXPECT_STREQ(a.GetRawText().Data(), b.GetRawText().Data());
}

// Names, kinds, values, order, bases and access levels.
void ExpectSameTree(const ParamClass& a, const ParamClass& b) {
  EXPECT_STREQ(a.GetName(), b.GetName());
  EXPECT_EQ(a.GetAccess(), b.GetAccess()) << a.GetName();
  EXPECT_STREQ(a.GetBasePtr() ? a.GetBasePtr()->GetName() : "-",
               b.GetBasePtr() ? b.GetBasePtr()->GetName() : "-");
  ASSERT_EQ(a.GetEntryCount(), b.GetEntryCount()) << a.GetName();
  for (int i = 0; i < a.GetEntryCount(); ++i) {
    const ParamEntry* x = a.LoadedEntryAt(i);
    const ParamEntry* y = b.LoadedEntryAt(i);
    EXPECT_STREQ(x->GetName(), y->GetName());
    ASSERT_EQ(x->IsClass(), y->IsClass()) << x->GetName();
    ASSERT_EQ(x->IsArray(), y->IsArray()) << x->GetName();
    if (x->IsClass()) {
      EXPECT_EQ(x->IsDefined(), y->IsDefined());
      EXPECT_EQ(x->IsDelete(), y->IsDelete());
      ExpectSameTree(*x->AsClass(), *y->AsClass());
    } else if (x->IsArray()) {
      ASSERT_EQ(x->GetSize(), y->GetSize());
      for (int j = 0; j < x->GetSize(); ++j) ExpectSameItems(x->GetItem(j), y->GetItem(j));
    } else {
      EXPECT_EQ(x->IsTextValue(), y->IsTextValue());
      EXPECT_EQ(x->IsFloatValue(), y->IsFloatValue());
      EXPECT_EQ(x->IsIntValue(), y->IsIntValue());
      EXPECT_EQ(x->IsExpression(), y->IsExpression());
      EXPECT_STREQ(x->GetRawText().Data(), y->GetRawText().Data());
    }
  }
}

void BuildSample(ParamFile& file) {
  file.AddText("version", "1.05");
  file.AddInt("count", 3);
  file.AddFloat("ratio", 0.25f);
  file.AppendEntry(new ParamValueExpression("expr", ParamRawValueExpression("a*2")));
  ParamEntry* list = file.AddArray("list");
  list->AddItemInt(1);
  list->AddItemText("two \"quoted\"\nline");
  ParamArrayValueArray* nested = list->AddItemArray();
  nested->AddValue(3);
  nested->AddValue(4.5f);
  ParamClass* base = file.AddClass("Base");
  base->AddInt("inherited", 7);
  ParamClass* derived = file.AddClass("Derived");
  derived->SetBase(base);
  ParamClass* locked = derived->AddClass("Locked");
  locked->AddInt("access", 2);
  locked->SetAccess(PAReadOnly);
  locked->AddText("name", "$STR_NAME");
  file.AddClass("Declared", false, true);
  file.AppendEntry(new ParamClassDelete("Removed"));
  ParamClass* empty = file.AddClass("Empty");
  empty->AddArray("none");
}

TEST(ParamBinary, BuiltTreeSurvivesSaveAndLoad) {
  ParamFile original;
  BuildSample(original);
  std::vector<uint8_t> bytes = Save(original);
  ParamFile loaded;
  ScopedReportCapture capture;
  ASSERT_TRUE(Load(loaded, bytes));
  EXPECT_EQ(capture.Count(), 0) << AllReports(capture);
  ExpectSameTree(original, loaded);
  EXPECT_EQ(loaded.FindEntryPath("Derived/inherited")->GetInt(), 7);
  EXPECT_EQ(Text(original), Text(loaded));
  // Loading again gives the same bytes when saved.
  EXPECT_EQ(Save(loaded), bytes);
}

TEST(ParamBinary, WrittenLayoutStartsWithTheHeaderAndEndsWithTheEnumTable) {
  ParamFile file;
  file.AddText("version", "1.05");
  file.AddInt("count", 3);
  std::vector<uint8_t> bytes = Save(file);
  Bytes expected;
  expected.Signature().I32(0).I32(8).I32(0);
  int enum_at = 12;
  expected.Str("").Compact(2);
  expected.U8(1).U8(0).Str("version").Str("1.05");
  expected.U8(1).U8(2).Str("count").I32(3);
  expected.EndRoot(enum_at);
  EXPECT_EQ(bytes, expected.data);
}

TEST(ParamBinary, CountsAreCompactIntegers) {
  for (int count : {127, 128}) {
    ParamFile file;
    char name[16];
    for (int i = 0; i < count; ++i) {
      std::snprintf(name, sizeof name, "v%d", i);
      file.AddInt(name, i);
    }
    std::vector<uint8_t> bytes = Save(file);
    EXPECT_EQ(bytes[16], 0x00);  // empty base name
    if (count == 127) {
      EXPECT_EQ(bytes[17], 0x7F);
      EXPECT_EQ(bytes[18], 0x01);  // the first record's type
    } else {
      EXPECT_EQ(bytes[17], 0x80);
      EXPECT_EQ(bytes[18], 0x01);
      EXPECT_EQ(bytes[19], 0x01);
    }
  }
}

TEST(ParamBinary, WrongSignatureLeavesAnEmptyTree) {
  ParamFile file;
  file.AddInt("before", 1);
  Bytes bytes;
  bytes.U8('r').U8('a').U8('P').U8(0).I32(0).I32(8).I32(0);
  EXPECT_FALSE(Load(file, bytes.data));
  EXPECT_EQ(file.GetEntryCount(), 0);
}

TEST(ParamBinary, UnsupportedVersionsAreRefused) {
  for (int version : {5, 6, 9, 0}) {
    Bytes bytes;
    bytes.Signature().I32(0).I32(version).I32(0).U8(0).U8(0).I32(0).I32(0);
    ParamFile file;
    ScopedReportCapture capture;
    EXPECT_FALSE(Load(file, bytes.data)) << version;
    EXPECT_EQ(capture.Texts(ReportSlot::kDataWarning),
              std::vector<std::string>{"Bad version " + std::to_string(version) +
                                       " in ParamFile No source"});
  }
}

// The body of the root for versions 2 to 4: strings by reference, a new
// string introduced by the next free index.
void OldRoot(Bytes& b, int version) {
  auto ref = [&](uint32_t index) -> Bytes& {
    return version == 2 ? b.I32(static_cast<int32_t>(index)) : b.Compact(index);
  };
  auto count = [&](uint32_t n) -> Bytes& {
    return version >= 4 ? b.Compact(n) : b.I32(static_cast<int32_t>(n));
  };
  ref(0).Str("");  // root name
  b.Str("");       // base name, in place
  count(3);
  b.U8(1).U8(2);  // value, integer
  ref(1).Str("count").I32(3);
  b.U8(0);  // class, body in place
  ref(2).Str("Sub");
  b.Str("");
  count(2);
  b.U8(1).U8(0);  // value, text named "count" (met before)
  ref(1);
  ref(3).Str("hello");
  b.U8(3);  // declared-only class
  ref(4).Str("Later");
  b.U8(2);  // array
  ref(5).Str("list");
  count(2);
  b.U8(2).I32(7);
  b.U8(0);
  ref(3);  // "hello" again
}

TEST(ParamBinary, OldVersionsLoadWithTheRebinarizeLine) {
  for (int version : {2, 3, 4}) {
    Bytes bytes;
    bytes.Signature().I32(version);  // no zero word: the version comes first
    OldRoot(bytes, version);
    ParamFile file;
    ScopedReportCapture capture;
    ASSERT_TRUE(Load(file, bytes.data)) << version;
    EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Config No source uses old binary format " +
                                                       std::to_string(version) + " - rebinarize"));
    EXPECT_EQ(file.GetEntryByName("count")->GetInt(), 3);
    EntryHandle sub = file.FindEntry("Sub");
    ASSERT_TRUE(sub.GetClass());
    EXPECT_STREQ(sub->GetName(), "Sub");
    EXPECT_STREQ(sub->FindEntry("count")->GetText().Data(), "hello");
    EXPECT_FALSE(sub->FindEntry("Later")->IsDefined());
    EntryHandle list = file.FindEntry("list");
    ASSERT_EQ(list->GetSize(), 2);
    EXPECT_EQ(list->GetItem(0).GetInt(), 7);
    EXPECT_STREQ(list->GetItem(1).GetText().Data(), "hello");
  }
}

TEST(ParamBinary, Version7ReadsStringsFromTheTable) {
  Bytes b;
  b.Signature().I32(0).I32(7);
  int table_at = b.Pos();
  b.I32(0);
  int enum_at = b.Pos();
  b.I32(0);
  b.Compact(0).Compact(2);                   // root: no base, two entries
  b.U8(1).U8(1).Compact(1).I32(0x3F000000);  // float ratio = 0.5
  b.U8(0).Compact(2);                        // class Sub
  int sub_pos = b.Pos();
  b.I32(0);
  int root_end = b.Pos();
  b.I32(0);
  b.Patch(sub_pos, b.Pos());
  b.Compact(0).Compact(1);              // Sub: no base, one entry
  b.U8(1).U8(4).Compact(3).Compact(4);  // expression e = x+1
  int sub_end = b.Pos();
  b.I32(0);
  b.Patch(sub_end, b.Pos());
  b.Patch(root_end, b.Pos());
  b.EmptyEnumTable(enum_at);
  int table_count_at = b.Pos();
  b.Patch(table_at, b.Pos());
  b.I32(5).Str("").Str("ratio").Str("Sub").Str("e").Str("x+1");

  ParamFile file;
  ScopedReportCapture capture;
  ASSERT_TRUE(Load(file, b.data));
  EXPECT_TRUE(
      capture.Contains(ReportSlot::kLog, "Config No source uses old binary format 7 - rebinarize"));
  EXPECT_FLOAT_EQ(file.GetEntryByName("ratio")->GetFloat(), 0.5f);
  EntryHandle e = file.FindEntryPath("Sub/e");
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->IsExpression());
  EXPECT_STREQ(e->GetText().Data(), "x+1");

  // An index equal to the table size is no string in this version.
  b.data[static_cast<size_t>(table_count_at)] = 4;  // the table now holds 4 strings
  ParamFile damaged;
  ScopedReportCapture damaged_reports;
  EXPECT_FALSE(Load(damaged, b.data)) << AllReports(damaged_reports);
}

TEST(ParamBinary, BaseStoredAfterTheClassIsNotFound) {
  ParamFile original;
  ParamClass* derived = original.AddClass("Derived");
  ParamClass* base = original.AddClass("Base");
  derived->SetBase(base);
  ParamFile loaded;
  ScopedReportCapture capture;
  EXPECT_TRUE(Load(loaded, Save(original)));
  EXPECT_EQ(capture.Texts(ReportSlot::kWarning),
            std::vector<std::string>{"Cannot find base Base for /Derived/"});
  EXPECT_EQ(loaded.FindEntry("Derived").GetClass()->GetBasePtr(), nullptr);
}

TEST(ParamBinary, AccessValueSetsTheLevelAndIsInherited) {
  ParamFile original;
  ParamClass* ro = original.AddClass("ReadOnly");
  ro->AddInt("access", 2);
  ro->AddClass("Child");
  ParamClass* other = original.AddClass("Other");
  other->AddInt("Access", 2);
  ParamFile loaded;
  ASSERT_TRUE(Load(loaded, Save(original)));
  ParamClass* loaded_ro = loaded.FindEntry("ReadOnly").GetClass();
  EXPECT_EQ(loaded_ro->GetAccess(), PAReadOnly);
  EXPECT_EQ(loaded_ro->FindEntry("Child").GetClass()->GetAccess(), PAReadOnly);
  EXPECT_EQ(loaded.FindEntry("Other").GetClass()->GetAccess(), PADefault);
  ScopedReportCapture capture;
  loaded_ro->AddText("x", "y");
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Trying to modify read-only entry /ReadOnly.x"));
}

TEST(ParamBinary, EveryCutOrFlippedByteLoadsWithoutHarm) {
  ParamFile original;
  BuildSample(original);
  std::vector<uint8_t> bytes = Save(original);
  ScopedReportCapture capture;
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
    ParamFile file;
    EXPECT_FALSE(Load(file, cut)) << length;
    Text(file);  // the partial tree is usable
  }
  for (size_t at = 0; at < bytes.size(); ++at) {
    for (uint8_t mask : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> flipped = bytes;
      flipped[at] ^= mask;
      ParamFile file;
      Load(file, flipped);
      Text(file);
    }
  }
}

TEST(ParamBinary, DuplicateNamesAreKeptInOrderAndTheFirstIsFound) {
  Bytes b;
  int enum_at = b.Header8();
  b.Str("").Compact(2);
  b.U8(1).U8(2).Str("VERSION").I32(1);
  b.U8(1).U8(2).Str("version").I32(2);
  b.EndRoot(enum_at);
  ParamFile file;
  ASSERT_TRUE(Load(file, b.data));
  ASSERT_EQ(file.GetEntryCount(), 2);
  EXPECT_EQ(file.FindEntry("version")->GetInt(), 1);
  EXPECT_STREQ(file.GetEntry(1)->GetName(), "version");
}

TEST(ParamBinary, DeepNestingIsRefusedBeforeTheStackRunsOut) {
  Bytes b;
  int enum_at = b.Header8();
  b.Str("").Compact(1);
  b.U8(2).Str("deep").Compact(1);
  for (int i = 0; i < 100000; ++i) b.U8(3).Compact(1);
  b.U8(2).I32(1);
  b.EmptyEnumTable(enum_at);
  ParamFile file;
  ScopedReportCapture capture;
  EXPECT_FALSE(Load(file, b.data));
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "FileStructure error"));
  EXPECT_TRUE(file.FindEntry("deep")->IsArray());
}

TEST(ParamBinary, BodiesThatPointBackwardsAreRefused) {
  // A class whose body position is the root body itself would be read again
  // and again.
  Bytes b;
  int enum_at = b.Header8();
  int root_at = b.Pos();
  b.Str("").Compact(2);
  b.U8(0).Str("A").I32(root_at);
  b.U8(0).Str("B").I32(root_at);
  b.I32(0);
  b.EmptyEnumTable(enum_at);
  ParamFile file;
  ScopedReportCapture capture;
  EXPECT_FALSE(Load(file, b.data));
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "FileStructure error"));
  EXPECT_EQ(file.GetEntryCount(), 2);
}

}  // namespace
}  // namespace corvane
