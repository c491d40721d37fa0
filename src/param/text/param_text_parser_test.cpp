#include "param/text/param_text_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "param/evaluator.h"
#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

int Parse(ParamFile& file, const std::string& text, const char* name = "test.cpp") {
  return ParamParseText(file, text.data(), text.size(), name);
}

std::string SaveText(const ParamFile& file) {
  QOStrStream out;
  file.SaveText(out, 0, "\n");
  return std::string(out.str() ? out.str() : "", static_cast<size_t>(out.GetLength()));
}

ParamEntry* Get(const ParamClass& cls, const char* name) {
  int index = cls.FindOwnIndex(name);
  return index >= 0 ? cls.EntryAt(index) : nullptr;
}

TEST(ParamTextParser, KindOfUnquotedValues) {
  ScopedReportCapture reports;
  ParamFile file;
  ASSERT_EQ(Parse(file,
                  "a=12;\nb=12.0;\nc=1e2;\nd=0x10;\ne=db6;\nf=12abc;\ng=\"12\";\n"
                  "h=-7;\ni=dbName;\nj=  spaced text  ;\n"),
            0);
  EXPECT_TRUE(Get(file, "a")->IsIntValue());
  EXPECT_EQ(Get(file, "a")->GetInt(), 12);
  EXPECT_TRUE(Get(file, "b")->IsFloatValue());
  EXPECT_TRUE(Get(file, "c")->IsFloatValue());
  EXPECT_FLOAT_EQ(Get(file, "c")->GetFloat(), 100.0f);
  EXPECT_TRUE(Get(file, "d")->IsIntValue());
  EXPECT_EQ(Get(file, "d")->GetInt(), 16);
  EXPECT_TRUE(Get(file, "e")->IsFloatValue());
  EXPECT_NEAR(Get(file, "e")->GetFloat(), 1.995f, 0.001f);
  EXPECT_TRUE(Get(file, "f")->IsTextValue());
  EXPECT_STREQ(Get(file, "f")->GetRawText().Data(), "12abc");
  EXPECT_TRUE(Get(file, "g")->IsTextValue());
  EXPECT_EQ(Get(file, "h")->GetInt(), -7);
  // Only "db" followed by a number is a level; other texts starting so stay texts.
  EXPECT_TRUE(Get(file, "i")->IsTextValue());
  EXPECT_STREQ(Get(file, "j")->GetRawText().Data(), "spaced text");
  EXPECT_EQ(reports.Count(ReportSlot::kError), 0);
}

TEST(ParamTextParser, ArrayWithNestedArrayAndExpression) {
  ParamFile file;
  ASSERT_EQ(
      Parse(file, "name[]={1,\"two\",{3,4},@x+1};\nempty[]={};\ntrail[]={1,2,};\nholes[]={,};\n"),
      0);
  ParamEntry* name = Get(file, "name");
  ASSERT_TRUE(name && name->IsArray());
  ASSERT_EQ(name->GetSize(), 4);
  EXPECT_TRUE(name->GetItem(0).IsIntValue());
  EXPECT_TRUE(name->GetItem(1).IsTextValue());
  EXPECT_STREQ(name->GetItem(1).GetRawText().Data(), "two");
  ASSERT_TRUE(name->GetItem(2).IsArray());
  ASSERT_EQ(name->GetItem(2).GetItemCount(), 2);
  EXPECT_EQ(name->GetItem(2).GetItem(1).GetInt(), 4);
  EXPECT_TRUE(name->GetItem(3).IsExpression());
  EXPECT_STREQ(name->GetItem(3).GetRawText().Data(), "x+1");
  EXPECT_EQ(Get(file, "empty")->GetSize(), 0);
  EXPECT_EQ(Get(file, "trail")->GetSize(), 2);
  // An empty item before "," is an empty text; before "}" nothing.
  ASSERT_EQ(Get(file, "holes")->GetSize(), 1);
  EXPECT_TRUE(Get(file, "holes")->GetItem(0).IsTextValue());
}

TEST(ParamTextParser, QuotesAndLineJoins) {
  ParamFile file;
  ASSERT_EQ(Parse(file, "q=\"a\"\"b\";\nj=\"first\" \\n \"second\";\nexpr=@\"1 + \"\"x\"\"\";\n"),
            0);
  EXPECT_STREQ(Get(file, "q")->GetRawText().Data(), "a\"b");
  EXPECT_STREQ(Get(file, "j")->GetRawText().Data(), "first\nsecond");
  EXPECT_TRUE(Get(file, "expr")->IsExpression());
  EXPECT_STREQ(Get(file, "expr")->GetRawText().Data(), "1 + \"x\"");
}

TEST(ParamTextParser, MissingSemicolonWarnsMissingEqualsFails) {
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=1\nb=2;\n", "cfg.cpp"), 0);
    EXPECT_EQ(Get(file, "b")->GetInt(), 2);
    EXPECT_TRUE(reports.Contains(ReportSlot::kWarning,
                                 "File cfg.cpp, line 1: '.a': Missing ';' at the end of line"));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=1;\n\nb 2;\nc=3;\n", "cfg.cpp"), 3);
    EXPECT_NE(Get(file, "a"), nullptr);  // entries before the error stay
    EXPECT_EQ(Get(file, "c"), nullptr);
    EXPECT_TRUE(reports.Contains(ReportSlot::kWarning, "Error context 2;"));
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "File cfg.cpp, line 3: "));
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "'2' encountered instead of '='"));
  }
  {
    // "[" must follow the name directly.
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "name [] = {1};\n"), 3);
    EXPECT_TRUE(reports.Contains("'[' encountered instead of '='"));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=1 2 x;\n"), 0);  // unquoted: all of it up to ";"
    EXPECT_EQ(Parse(file, "a=\"1\"x\nb=2;\n"), 0);
    EXPECT_TRUE(reports.Contains(ReportSlot::kWarning, "Missing ';'"));
  }
}

TEST(ParamTextParser, BaseClassesAndDuplicates) {
  {
    ParamFile file;
    ASSERT_EQ(Parse(file, "class A { x=1; };\nclass Outer { class B: A { y=2; }; };\n"), 0);
    ParamClass* outer = Get(file, "Outer")->AsClass();
    ParamClass* b = Get(*outer, "B")->AsClass();
    EXPECT_EQ(b->GetBasePtr(), Get(file, "A"));
    EXPECT_EQ(b->FindEntry("x")->GetInt(), 1);
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "class B: A {};\nclass A {};\n"), 3);
    EXPECT_TRUE(reports.Contains(ReportSlot::kError,
                                 "File test.cpp, line 1: .B: Undefined base class 'A'"));
    EXPECT_EQ(Parse(file, "v=1;\nclass B: v {};\n"), 3);
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "'v' is not class"));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "Version=1;\nversion=2;\nclass C {};\nclass c { z=1; };\n"), 0);
    EXPECT_EQ(file.GetEntryCount(), 2);
    EXPECT_EQ(Get(file, "version")->GetInt(), 1);  // the first definition wins
    EXPECT_EQ(Get(file, "C")->AsClass()->GetEntryCount(), 0);
    EXPECT_TRUE(reports.Contains(ReportSlot::kError,
                                 "File test.cpp, line 2: .version: Member already defined."));
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "line 4:"));
  }
}

TEST(ParamTextParser, DeclarationsDeletionsAndAccess) {
  ParamFile file;
  ASSERT_EQ(Parse(file, "class Decl;\ndelete Gone;\nclass R { access=2; v=1; class Sub {}; };\n"),
            0);
  EXPECT_FALSE(Get(file, "Decl")->IsDefined());
  EXPECT_TRUE(Get(file, "Gone")->IsDelete());
  ParamClass* r = Get(file, "R")->AsClass();
  EXPECT_EQ(r->GetAccess(), 2);
  EXPECT_EQ(Get(*r, "Sub")->GetAccess(), 2);  // inherited on "}"
  EXPECT_EQ(SaveText(file).find("class Decl;\ndelete Gone;\n"), 0u);
}

class RecordingEvaluator final : public Evaluator {
 public:
  explicit RecordingEvaluator(std::vector<std::string>* log) : log_(log) {}
  float EvaluateEnumValue(const char* text) override {
    log_->push_back(std::string("enum-value ") + text);
    return 10.4f;
  }
  RString EvaluateText(const char* text) override {
    log_->push_back(std::string("eval ") + text);
    return RString("42");
  }
  void Execute(const char* text) override { log_->push_back(std::string("exec ") + text); }
  void DefineVariable(const char* name, float value, bool, bool) override {
    log_->push_back(std::string("var ") + name + "=" + std::to_string(static_cast<int>(value)));
  }

 private:
  std::vector<std::string>* log_;
};

class RecordingFactory final : public EvaluatorFunctions {
 public:
  Evaluator* CreateEvaluator(int) override { return new RecordingEvaluator(&log); }
  std::vector<std::string> log;
};

TEST(ParamTextParser, EnumExecAndEvalReachTheEvaluator) {
  RecordingFactory factory;
  EvaluatorFunctions* previous = SetEvaluatorFunctions(&factory);
  ParamFile file;
  int result = Parse(file, "enum E { A, B = 2*5, C };\n__EXEC (x = 1);\nv=__EVAL 6*7;\n");
  SetEvaluatorFunctions(previous);
  ASSERT_EQ(result, 0);
  std::vector<std::string> expected = {"var A=0",  "enum-value 2*5", "var B=10",
                                       "var C=11", "exec x = 1",     "eval  6*7"};
  EXPECT_EQ(factory.log, expected);
  EXPECT_TRUE(Get(file, "v")->IsIntValue());
  EXPECT_EQ(Get(file, "v")->GetInt(), 42);
  EXPECT_EQ(file.GetEntryCount(), 1);
}

TEST(ParamTextParser, LineDirectiveAndTrailingInput) {
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=1;\n#line 40 \"orig.h\"\nb=1;\nc 1;\n", "pre.i"), 3);
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "File orig.h, line 41: '.c': "));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=1;\n#include \"x\"\n"), 3);
    EXPECT_TRUE(reports.Contains(ReportSlot::kError, "line 2: /: Wrong # directive"));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    file.SetName("root.cpp");
    EXPECT_EQ(Parse(file, "a=1;\n};\nb=2;\n", "root.cpp"), 3);
    EXPECT_TRUE(
        reports.Contains(ReportSlot::kError, "Config root.cpp: some input after EndOfFile."));
  }
  {
    ScopedReportCapture reports;
    ParamFile file;
    EXPECT_EQ(Parse(file, "a=\"open\n"), 0);
    EXPECT_STREQ(Get(file, "a")->GetRawText().Data(), "open\n");
    EXPECT_TRUE(reports.Contains("End of line encountered after open"));
  }
}

TEST(ParamTextParser, NestingIsBoundedNotStackDeep) {
  // Hostile depth is refused with a message instead of exhausting the stack;
  // the limit is the one the binary reader accepts, so what parses also loads.
  ScopedReportCapture reports;
  ParamFile file;
  std::string arrays = "a[]=" + std::string(100000, '{');
  EXPECT_EQ(Parse(file, arrays), 3);
  EXPECT_TRUE(reports.Contains(ReportSlot::kError, "nesting deeper than"));
  std::string classes;
  for (int i = 0; i < 5000; ++i) classes += "class c{";
  EXPECT_EQ(Parse(file, classes), 3);
  std::string fine;
  for (int i = 0; i < 50; ++i) fine += "class c{";
  fine += "v=1;";
  for (int i = 0; i < 50; ++i) fine += "};";
  EXPECT_EQ(Parse(file, fine), 0);
}

}  // namespace
}  // namespace corvane
