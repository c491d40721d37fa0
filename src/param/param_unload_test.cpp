#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/report_capture.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_tree_stats.h"

namespace corvane {
namespace {

// A binary file on disk whose classes can be read again after unloading.
class ParamUnloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "param_unload_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
    ParamFile original;
    original.AddText("title", "Demo");
    ParamClass* a = original.AddClass("A");
    a->AddInt("value", 1);
    ParamClass* b = original.AddClass("B");
    b->AddText("text", "bee");
    ParamClass* nested = b->AddClass("Nested");
    nested->AddFloat("f", 2.5f);
    ParamClass* c = original.AddClass("C");
    c->SetBase(a);
    c->AddInt("own", 3);
    ASSERT_TRUE(original.SaveBin(path_.c_str()));
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::string path_;
};

TEST_F(ParamUnloadTest, DeferredBodiesAreLoadedWhenReached) {
  ParamFile file;
  ASSERT_EQ(file.LoadBin(path_.c_str(), new ParamClassOwnerFilename(path_.c_str()), 0, true),
            kParamLoadOk);
  EXPECT_STREQ(file.GetName(), path_.c_str());
  ASSERT_NE(file.EntryAt(1)->AsPlaceholder(), nullptr);
  ASSERT_NE(file.EntryAt(2)->AsPlaceholder(), nullptr);

  EXPECT_EQ(file.FindEntryPath("A/value")->GetInt(), 1);
  EXPECT_EQ(file.EntryAt(1)->AsPlaceholder(), nullptr);
  EXPECT_NE(file.EntryAt(2)->AsPlaceholder(), nullptr);  // B is still not needed
  // C names A as its base; A was met before it, so the link is made.
  EXPECT_EQ(file.FindEntryPath("C/value")->GetInt(), 1);
  EXPECT_FLOAT_EQ(file.FindEntryPath("B/Nested/f")->GetFloat(), 2.5f);
  EXPECT_STREQ(file.FindEntryPath("B/text")->GetText().Data(), "bee");
  EXPECT_FALSE(file.NeedsRestoring());
}

TEST_F(ParamUnloadTest, UnlockedClassesGoBackToPlaceholdersAndReturn) {
  ParamFile file;
  ASSERT_EQ(file.LoadBin(path_.c_str(), new ParamClassOwnerFilename(path_.c_str()), 0, true),
            kParamLoadOk);
  file.RestoreLoaded(ParamEntryAllVisible, true);
  // Reaching a class locks and releases it: it becomes a candidate.
  EXPECT_EQ(file.FindEntry("B").GetClass()->GetEntryCount(), 2);
  EXPECT_EQ(file.FindEntryPath("B/Nested/f")->GetFloat(), 2.5f);
  ASSERT_GT(file.ListCount(), 0);

  {
    EntryHandle held = file.FindEntry("A");
    ScopedReportCapture capture;
    EXPECT_FALSE(file.Unload(*held));
    EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Error: Cannot unload " + path_ + "/A/"));
    EXPECT_TRUE(
        capture.Contains(ReportSlot::kErrorAt, "Bug - need to link parents and bases again"));
  }
  {
    ScopedReportCapture capture;
    EntryHandle title = file.FindEntry("title");
    EXPECT_FALSE(file.Unload(*title));
    EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Cannot unload non-class"));
  }

  // Nested is unlocked and has no subclasses: it can go. B holds a lock on
  // nothing but its parent, yet Nested locks B, so B stays.
  ParamClass* nested = file.FindEntryPath("B/Nested").GetClass();
  ASSERT_NE(nested, nullptr);
  EXPECT_TRUE(file.Unload(*nested));
  ParamClass* b = file.FindEntry("B").GetClass();
  EXPECT_NE(b->EntryAt(1)->AsPlaceholder(), nullptr);
  EXPECT_FLOAT_EQ(file.FindEntryPath("B/Nested/f")->GetFloat(), 2.5f);  // read again

  size_t released = file.FreeOnDemand(1u << 30);
  EXPECT_GT(released, 0u);
  ParamTreeStats stats = CollectParamTreeStats(file);  // loads everything again
  EXPECT_EQ(stats.classes, 4);
  EXPECT_EQ(file.FindEntryPath("C/own")->GetInt(), 3);
  EXPECT_EQ(file.FindEntryPath("C/value")->GetInt(), 1);
}

TEST_F(ParamUnloadTest, ClassesOfAStreamLoadAreNeverUnloaded) {
  ParamFile file;
  ASSERT_EQ(file.LoadBin(path_.c_str()), kParamLoadOk);
  EXPECT_EQ(file.FindEntryPath("A/value")->GetInt(), 1);
  EXPECT_EQ(file.ListCount(), 0);
  EXPECT_FALSE(file.Unload(*file.FindEntry("A")));
  EXPECT_EQ(file.FreeOnDemand(1u << 30), 0u);
}

TEST_F(ParamUnloadTest, DisabledStreamingKeepsClassesLoaded) {
  ParamFile file;
  ASSERT_EQ(file.LoadBin(path_.c_str(), new ParamClassOwnerFilename(path_.c_str()), 0, true),
            kParamLoadOk);
  file.DisableStreaming(true);
  EXPECT_FALSE(file.NeedsRestoring());
  EXPECT_STREQ(file.FindEntry("A").GetClass()->GetSourceName().Data(),
               ("(" + path_ + " - no unload)").c_str());
  EXPECT_EQ(file.ListCount(), 0);
  EXPECT_EQ(file.FreeOnDemand(1u << 30), 0u);
}

TEST_F(ParamUnloadTest, MissingFileAnswersFiveAndKeepsTheTree) {
  ParamFile file;
  file.AddInt("kept", 1);
  EXPECT_EQ(file.LoadBin((path_ + ".missing").c_str()), kParamLoadNoFile);
  EXPECT_EQ(file.GetEntryCount(), 1);
}

TEST_F(ParamUnloadTest, AFileChangedUnderAPlaceholderIsReportedNotTrusted) {
  ParamFile file;
  ASSERT_EQ(file.LoadBin(path_.c_str(), new ParamClassOwnerFilename(path_.c_str()), 0, true),
            kParamLoadOk);
  if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
    std::fputs("not a configuration", f);
    std::fclose(f);
  }
  ScopedReportCapture capture;
  EntryHandle a = file.FindEntry("A");
  ASSERT_TRUE(a.GetClass());
  EXPECT_EQ(a->GetEntryCount(), 0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kError, "Bad format while loading " + path_ + "/A/"));
  std::remove(path_.c_str());
  capture.Clear();
  EXPECT_TRUE(file.FindEntryPath("B/text").IsNull());
  EXPECT_TRUE(capture.Contains(ReportSlot::kError, "Error while loading " + path_ + "/B/"));
}

TEST(ParamUnloadOld, OldVersionsAreNeverStreamed) {
  // Version 4: signature, version, then the root body in place.
  const unsigned char bytes[] = {0x00, 0x72, 0x61, 0x50, 4,
                                 0,    0,    0,    0,    0,  // root name: new string 0, ""
                                 0,                          // base name in place
                                 1,                          // one entry
                                 0,                          // a class, body in place:
                                 1,    'A',  0,              //   name: new string 1, "A"
                                 0,    0};                   //   no base, no entries
  std::string path = ::testing::TempDir() + "param_unload_old.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes, 1, sizeof bytes, f);
  std::fclose(f);
  ParamFile file;
  ScopedReportCapture capture;
  ASSERT_EQ(file.LoadBin(path.c_str(), new ParamClassOwnerFilename(path.c_str()), 0, true),
            kParamLoadOk);
  EXPECT_TRUE(capture.Contains(ReportSlot::kWarning, "may not be streamed, old version 4"));
  EntryHandle a = file.FindEntry("A");
  ASSERT_TRUE(a.GetClass());
  EXPECT_FALSE(a.GetClass()->CanUnload());
  std::remove(path.c_str());
}

TEST(ParamClassSource, IndirectSourceFramesTheNameAndRefusesRenaming) {
  Ref<IParamClassSource> inner = new ParamClassOwnerFilename("data.bin");
  Ref<IParamClassSource> indirect = ParamMakeNoUnloadSource(inner.GetRef());
  EXPECT_FALSE(indirect->CanUnload());
  EXPECT_STREQ(indirect->GetOwnerName().Data(), "(data.bin - no unload)");
  ScopedReportCapture capture;
  indirect->SetOwnerName("x");
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt,
                               "SetOwnerName should never be used on indirect classes"));
  Ref<IParamClassSource> plain = new ParamClassOwnerNoUnload;
  EXPECT_STREQ(plain->GetOwnerName().Data(), "(no unload)");
  EXPECT_EQ(ParamMakeNoUnloadSource(plain.GetRef()), plain.GetRef());
}

}  // namespace
}  // namespace corvane
