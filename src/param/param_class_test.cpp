#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/report_capture.h"
#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_entry_index.h"
#include "param/param_file.h"
#include "param/param_value.h"

namespace corvane {
namespace {

TEST(ParamClassLookup, BasesLendTheirEntriesButOwnEntriesWin) {
  ParamFile file;
  ParamClass* base = file.AddClass("Base");
  base->AddInt("shared", 1);
  base->AddInt("inherited", 2);
  ParamClass* derived = file.AddClass("Derived");
  ASSERT_TRUE(derived->SetBase(base));
  derived->AddInt("shared", 10);

  EXPECT_EQ(derived->FindEntry("inherited")->GetInt(), 2);
  EXPECT_EQ(derived->GetEntryByName("INHERITED")->GetInt(), 2);
  EXPECT_TRUE(derived->FindOwnEntry("inherited").IsNull());
  EXPECT_EQ(derived->FindEntry("shared")->GetInt(), 10);
  EXPECT_TRUE(derived->CheckIfEntryExists("inherited"));
  // Without a base the question goes to the parent.
  file.AddInt("top", 3);
  EXPECT_TRUE(base->CheckIfEntryExists("top"));
  EXPECT_FALSE(base->FindEntry("top"));
  EXPECT_EQ(base->FindEntryWide("top")->GetInt(), 3);
}

TEST(ParamClassLookup, StrictLookupOfAMissingNameYieldsTheErrorEntry) {
  ParamFile file;
  ParamClass* patch = file.AddClass("Patch");
  ScopedReportCapture capture;
  EntryHandle missing = patch->GetEntryByName("version");
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing->IsError());
  EXPECT_EQ(capture.Texts(ReportSlot::kErrorLevel),
            std::vector<std::string>{"No entry '/Patch.version'."});
  capture.Clear();
  EXPECT_STREQ(missing->GetText().Data(), "");
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "is not a value"));
  // Chained queries go on with neutral answers.
  EXPECT_EQ(missing->GetEntryByName("deeper")->GetInt(), 0);
  EXPECT_EQ(patch->GetClassSection("Nope")->IsError(), true);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "No section 'Nope' in 'Patch'"));
}

TEST(ParamClassLookup, WrongKindAccessesReportWithTheContext) {
  ParamFile file;
  file.AddInt("x", 1);
  ScopedReportCapture capture;
  EntryHandle x = file.FindEntry("x");
  EXPECT_TRUE(x->FindEntry("y").IsNull());
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "'x/' is not a class ('y' accessed)"));
  EXPECT_EQ(x->GetSize(), 0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "Size: 'x/' not an array"));
  EXPECT_EQ(x->GetEntryCount(), 0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "'x/' is not a class."));
}

TEST(ParamClassLookup, ContextTextIsCutTo511Characters) {
  ParamFile file;
  std::string long_name(600, 'n');
  ParamClass* cls = file.AddClass(long_name.c_str());
  RString context = cls->GetContext("member");
  EXPECT_EQ(context.GetLength(), 511);
  EXPECT_EQ(std::string(context.Data(), 2), "/n");
}

TEST(ParamClassLookup, PathsWalkClassesThroughBases) {
  ParamFile file;
  ParamClass* a = file.AddClass("A");
  ParamClass* b = a->AddClass("B");
  b->AddText("leaf", "yes");
  ParamClass* c = file.AddClass("C");
  c->SetBase(a);
  EXPECT_STREQ(file.FindEntryPath("A/B/leaf")->GetText().Data(), "yes");
  EXPECT_STREQ(file.FindEntryPath("C/B/leaf")->GetText().Data(), "yes");  // B via C's base
  EXPECT_TRUE(file.FindEntryPath("A/leaf/x").IsNull());
  EXPECT_TRUE(file.FindEntryPath("A/missing/leaf").IsNull());
  EXPECT_EQ(file.FindEntryPath("").GetEntry(), &file);
}

TEST(ParamClassAdd, SameNameInAnyCaseIsOneEntry) {
  ParamFile file;
  file.AddText("VERSION", "1");
  file.AddText("version", "2");
  ASSERT_EQ(file.GetEntryCount(), 1);
  EXPECT_STREQ(file.GetEntry(0)->GetText().Data(), "2");

  ScopedReportCapture capture;
  file.AddEntry(new ParamValueInt("Version", ParamRawValueInt(3)));
  ASSERT_EQ(file.GetEntryCount(), 1);
  EXPECT_TRUE(file.GetEntry(0)->IsIntValue());
  EXPECT_TRUE(capture.Contains(ReportSlot::kError, "Config: 'Version' already defined in ''."));
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Entry already exists"));
  capture.Clear();
  file.AddClass("version", true);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Guaranteed unique Entry already exists"));
  EXPECT_TRUE(capture.Contains(ReportSlot::kWarning, "Config: 'version' already defined in ''."));
  EXPECT_TRUE(file.GetEntry(0)->IsClass());
}

TEST(ParamClassAdd, AccessLevelsGuardTextsClassesAndArrays) {
  ParamFile file;
  ParamClass* cls = file.AddClass("Locked");
  cls->AddText("old", "a");
  ScopedReportCapture capture;
  cls->SetAccess(PAReadAndCreate);
  cls->AddText("old", "b");
  EXPECT_STREQ(cls->FindEntry("old")->GetText().Data(), "a");
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Trying to modify add-only entry /Locked.old"));
  cls->AddText("new", "c");
  EXPECT_TRUE(cls->FindEntry("new"));
  cls->AddInt("old", 5);  // integers do not look at the level
  EXPECT_EQ(cls->FindEntry("old")->GetInt(), 5);
}

TEST(ParamClassAdd, ReadOnlyClassRefusesEverythingButNumbers) {
  ParamFile file;
  ParamClass* cls = file.AddClass("RO");
  cls->SetAccess(PAReadOnly);
  ScopedReportCapture capture;
  cls->AddText("t", "x");
  EXPECT_EQ(cls->AddClass("C"), nullptr);
  EXPECT_EQ(cls->AddArray("a"), nullptr);
  EXPECT_EQ(cls->GetEntryCount(), 0);
  EXPECT_EQ(capture.Count(ReportSlot::kLog), 3);
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Trying to modify read-only entry /RO.t"));
  cls->AddInt("n", 1);
  cls->AddFloat("f", 1.5f);
  EXPECT_EQ(cls->GetEntryCount(), 2);
}

TEST(ParamClassAccess, RecursiveLevelReachesSubclassesButNotArrays) {
  ParamFile file;
  ParamClass* outer = file.AddClass("Outer");
  ParamClass* inner = outer->AddClass("Inner");
  ParamEntry* list = outer->AddArray("list");
  outer->SetAccessRecursive(PAReadOnlyVerified);
  EXPECT_EQ(inner->GetAccess(), PAReadOnlyVerified);
  EXPECT_EQ(list->GetAccess(), PADefault);
  EXPECT_EQ(outer->FindEntry("x").IsNull(), true);
}

// Feeds the bytes in order into a string.
class StringSink : public ParamCheckValueSink {
 public:
  void Add(const void* data, size_t size) override {
    bytes.append(static_cast<const char*>(data), size);
  }
  std::string bytes;
};

TEST(ParamClassCheckValue, CoversOnlyVerifiedClasses) {
  ParamFile file;
  ParamClass* open = file.AddClass("Open");
  open->AddText("skip", "no");
  ParamClass* base = file.AddClass("B");
  ParamClass* checked = open->AddClass("Checked");
  checked->AddText("t", "abc");
  checked->AddInt("i", 0x44434241);
  checked->SetBase(base);
  EXPECT_FALSE(base->HasCheckValue());
  EXPECT_FALSE(file.HasCheckValue());
  checked->SetAccess(PAReadOnlyVerified);
  EXPECT_TRUE(file.HasCheckValue());
  StringSink sink;
  file.AddToCheckValue(sink);
  EXPECT_EQ(sink.bytes, "abcABCDCheckedB");
}

TEST(ParamClassIndex, LookupsAgreeWithAndWithoutTheIndex) {
  ParamFile plain;
  ParamFile indexed;
  indexed.BuildIndex();
  char name[32];
  for (int i = 0; i < 3000; ++i) {
    std::snprintf(name, sizeof name, "Entry%d", i);
    plain.AddInt(name, i);
    indexed.AddInt(name, i);
  }
  // A binary file may hold two entries of one name: both find the first.
  plain.AppendEntry(new ParamValueInt("ENTRY17", ParamRawValueInt(-1)));
  indexed.AppendEntry(new ParamValueInt("ENTRY17", ParamRawValueInt(-1)));
  plain.Delete("Entry100");
  indexed.Delete("Entry100");
  for (int i = 0; i < 3000; i += 7) {
    std::snprintf(name, sizeof name, "eNtRy%d", i);
    EXPECT_EQ(plain.FindOwnIndex(name), indexed.FindOwnIndex(name)) << name;
  }
  EXPECT_EQ(indexed.FindEntry("entry17")->GetInt(), 17);
  EXPECT_EQ(indexed.FindOwnIndex("Entry100"), -1);
  EXPECT_EQ(indexed.FindOwnIndex("Entry101"), 100);
  EXPECT_EQ(indexed.FindOwnIndex("ENTRY17"), 17);
}

TEST(ParamClassIndex, GrowsByTheBucketRule) {
  ParamEntryIndex::Entries entries;
  ParamEntryIndex index(entries);
  EXPECT_EQ(index.BucketCount(), 15);
  std::vector<ParamValueInt*> owned;
  char name[16];
  for (int i = 0; i < 16 * 15 + 1; ++i) {
    std::snprintf(name, sizeof name, "n%d", i);
    owned.push_back(new ParamValueInt(name, ParamRawValueInt(i)));
    entries.Add(owned.back());
    index.Add(name, i);
    EXPECT_EQ(index.BucketCount(), i < 240 ? 15 : 31) << i;
  }
  for (auto* e : owned) delete e;
}

TEST(ParamClassLocks, HandlesLockTheClassHoldingWhatTheyFound) {
  ParamFile file;
  ParamClass* cls = file.AddClass("C");
  cls->AddInt("v", 1);
  int before = cls->GetLockCount();
  {
    EntryHandle value = cls->FindEntry("v");
    EXPECT_EQ(value.GetLockedClass(), cls);
    EXPECT_EQ(cls->GetLockCount(), before + 1);
    EntryHandle copy = value;
    EXPECT_EQ(cls->GetLockCount(), before + 2);
    EntryHandle found = file.FindEntry("C");
    EXPECT_EQ(found.GetClass(), cls);
    EXPECT_EQ(cls->GetLockCount(), before + 3);
    copy = std::move(found);
    EXPECT_EQ(cls->GetLockCount(), before + 2);
  }
  EXPECT_EQ(cls->GetLockCount(), before);
}

TEST(ParamClassLocks, DeletingABaseLeavesNoDanglingLink) {
  ParamFile file;
  ParamClass* base = file.AddClass("Base");
  ParamClass* derived = file.AddClass("Derived");
  derived->SetBase(base);
  EXPECT_EQ(base->GetLockCount(), 1);
  file.Delete("Base");
  EXPECT_EQ(derived->GetBasePtr(), nullptr);
  EXPECT_TRUE(derived->FindEntry("anything").IsNull());
}

TEST(ParamClassLocks, BaseLoopsAreRefused) {
  ParamFile file;
  ParamClass* a = file.AddClass("A");
  ParamClass* b = file.AddClass("B");
  ASSERT_TRUE(b->SetBase(a));
  ScopedReportCapture capture;
  EXPECT_FALSE(a->SetBase(b));
  EXPECT_FALSE(a->SetBase(a));
  EXPECT_EQ(a->GetBasePtr(), nullptr);
  EXPECT_TRUE(b->FindEntry("missing").IsNull());  // ends
}

TEST(ParamClassMemory, ReportCountsOwnAndChildBytes) {
  ParamFile file;
  size_t empty = file.GetOwnMemory() + file.GetChildMemory();
  ParamClass* cls = file.AddClass("C");
  cls->AddText("t", "some text");
  size_t filled = file.GetOwnMemory() + file.GetChildMemory();
  EXPECT_GT(filled, empty + cls->GetOwnMemory());
  EXPECT_EQ(file.GetChildMemory(), cls->GetOwnMemory() + cls->GetChildMemory());
}

TEST(ParamClassKinds, DeclaredAndDeletedClassesAreNotDefined) {
  ParamFile file;
  ParamClass* decl = file.AddClass("Decl", false, true);
  file.AppendEntry(new ParamClassDelete("Gone"));
  EXPECT_FALSE(decl->IsDefined());
  ScopedReportCapture capture;
  EXPECT_EQ(decl->GetEntryCount(), 0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "class '/Decl/' is not defined"));
  EXPECT_TRUE(decl->GetEntryByName("x")->IsError());
  EntryHandle gone = file.FindEntry("gone");
  EXPECT_TRUE(gone->IsDelete());
}

}  // namespace
}  // namespace corvane
