#include "param/text/param_update.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/report_capture.h"
#include "param/param_array.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane {
namespace {

void Parse(ParamFile& file, const std::string& text) {
  ASSERT_EQ(ParamParseText(file, text.data(), text.size(), "t"), 0);
}

ParamEntry* Own(const ParamClass& cls, const char* name) {
  int index = cls.FindOwnIndex(name);
  return index >= 0 ? cls.EntryAt(index) : nullptr;
}

TEST(ParamUpdate, ValuesArraysAndClassesMergeRecursively) {
  ScopedReportCapture reports;
  ParamFile base, update;
  Parse(base, "v=1;\nkeep=5;\nlist[]={1,2};\nclass C { x=1; y=2; };\n");
  Parse(update, "v=2;\nlist[]={3};\nclass C { x=9; };\nclass New { z=1; };\nadded=\"a\";\n");
  // The target holds entries the update does not mention: no mirror.
  EXPECT_FALSE(Update(base, update, false, false));
  EXPECT_EQ(Own(base, "v")->GetInt(), 2);
  EXPECT_EQ(Own(base, "keep")->GetInt(), 5);
  ASSERT_EQ(Own(base, "list")->GetSize(), 1);
  EXPECT_EQ(Own(base, "list")->GetItem(0).GetInt(), 3);
  // Items are shared with the updating array, not copied.
  EXPECT_EQ(&Own(base, "list")->GetItem(0), &Own(update, "list")->GetItem(0));
  ParamClass* c = Own(base, "C")->AsClass();
  EXPECT_EQ(Own(*c, "x")->GetInt(), 9);
  EXPECT_EQ(Own(*c, "y")->GetInt(), 2);
  ASSERT_NE(Own(base, "New"), nullptr);
  EXPECT_EQ(Own(base, "New")->AsClass()->GetParentPtr(), &base);
  EXPECT_STREQ(Own(base, "added")->GetRawText().Data(), "a");

  // Merging a tree into an empty one mirrors it.
  ParamFile empty;
  EXPECT_TRUE(Update(empty, update, false, false));
  EXPECT_EQ(empty.GetEntryCount(), update.GetEntryCount());
}

TEST(ParamUpdate, DeletionMarkersRemoveUnreferencedClasses) {
  ScopedReportCapture reports;
  ParamFile base, update;
  Parse(base, "class X { a=1; class Inner {}; };\nclass Y { b=1; };\nclass D: Y {};\n");
  Parse(update, "delete X;\ndelete Y;\ndelete Missing;\n");
  EXPECT_FALSE(Update(base, update, false, false));
  EXPECT_EQ(Own(base, "X"), nullptr);
  EXPECT_NE(Own(base, "Y"), nullptr);  // D still uses it as its base
  EXPECT_TRUE(reports.Contains(ReportSlot::kWarning,
                               "Cannot delete class /Y/, it is referenced somewhere"));
}

TEST(ParamUpdate, AddOnlyAndReadOnlyTargetsKeepTheirValues) {
  ScopedReportCapture reports;
  ParamFile base, update;
  Parse(base, "class A { access=1; v=1; };\nclass R { access=2; v=1; };\n");
  Parse(update, "class A { v=2; w=3; };\nclass R { v=2; };\n");
  EXPECT_FALSE(Update(base, update, true, false));
  ParamClass* a = Own(base, "A")->AsClass();
  EXPECT_EQ(Own(*a, "v")->GetInt(), 1);
  EXPECT_EQ(Own(*a, "w"), nullptr);
  EXPECT_TRUE(reports.Contains(ReportSlot::kLog, "Trying to modify add-only entry **Update**"));
  EXPECT_EQ(Own(*Own(base, "R")->AsClass(), "v")->GetInt(), 1);
  EXPECT_TRUE(
      reports.Contains(ReportSlot::kLog, "Trying to modify read-only entry ** Update **, by /R/"));

  // Without respecting access the same merge changes the value.
  reports.Clear();
  EXPECT_FALSE(Update(base, update, false, false));
  EXPECT_EQ(Own(*a, "v")->GetInt(), 2);
}

TEST(ParamUpdate, DeclaredClassesAndBaseChanges) {
  ScopedReportCapture reports;
  ParamFile base, update;
  Parse(base, "class P {};\nclass Q {};\nclass K: P { k=1; };\nclass Known {};\n");
  Parse(update, "class P {};\nclass Q {};\nclass K: Q { k=1; };\nclass Decl;\nclass Known;\n");
  Update(base, update, false, false);
  ParamEntry* decl = Own(base, "Decl");
  ASSERT_NE(decl, nullptr);
  EXPECT_TRUE(decl->IsDefined());
  EXPECT_EQ(decl->AsClass()->GetEntryCount(), 0);
  EXPECT_TRUE(reports.Contains(
      ReportSlot::kLog,
      "Note: 'Decl' is declared, but definition was not found. Creating empty class"));
  EXPECT_EQ(Own(base, "K")->AsClass()->GetBasePtr(), Own(base, "Q"));
  EXPECT_TRUE(reports.Contains(ReportSlot::kWarning, "Updating base class P->Q, by /K/"));

  // A value where the update has a class is a conflict that stops the merge.
  ParamFile clash, by;
  Parse(clash, "C=1;\n");
  Parse(by, "class C {};\n");
  EXPECT_FALSE(Update(clash, by, false, false));
  EXPECT_TRUE(reports.Contains(ReportSlot::kErrorAt, "Cannot update non class from class"));
}

TEST(ParamUpdate, ReloadMergesTheFileAgain) {
  test_support::ScratchFolder folder("param-reload");
  test_support::ScopedCurrentDirectory inside(folder.path());
  auto write = [](const char* text) {
    ASSERT_TRUE(test_support::WriteTestFile("reload.cpp", text));
  };
  write("a=1;\nclass C { b=2; };\n");
  ParamFile file;
  EXPECT_EQ(ParamParseFile(file, "reload.cpp"), 0);
  EXPECT_STREQ(file.GetName(), "reload.cpp");
  write("a=5;\nclass C { b=6; };\n");
  EXPECT_EQ(ParamReloadText(file), 0);
  EXPECT_EQ(Own(file, "a")->GetInt(), 5);
  EXPECT_EQ(Own(*Own(file, "C")->AsClass(), "b")->GetInt(), 6);
  write("a=5;\nb c;\n");
  {
    ScopedReportCapture reports;
    EXPECT_EQ(ParamReloadText(file), 3);
  }
  // Preprocessing: an empty file is an empty tree; a missing one leaves the tree.
  write("");
  EXPECT_EQ(ParamParseFile(file, "reload.cpp"), 0);
  EXPECT_EQ(file.GetEntryCount(), 0);
  Parse(file, "x=1;\n");
  EXPECT_EQ(ParamParseFile(file, "no_such.cpp"), 0);
  EXPECT_EQ(file.GetEntryCount(), 1);
}

}  // namespace
}  // namespace corvane
