#include "param/param_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "foundation/report_capture.h"
#include "param/localize_string.h"
#include "param/param_array.h"
#include "param/param_file.h"
#include "param/param_value_conversion.h"

namespace corvane {
namespace {

// A text value that belongs to no file, as made through AddText.
int IntOf(const char* text) {
  ParamValueText value("v", ParamRawValue(text));
  return value.GetInt();
}

TEST(ParamValueConversion, TextToIntFollowsTheRulesInOrder) {
  ScopedReportCapture capture;
  EXPECT_EQ(IntOf("0x1F"), 31);
  EXPECT_EQ(IntOf("0XfF"), 255);
  EXPECT_EQ(IntOf("0xFFFFFFFF"), -1);  // hexadecimal wraps at 32 bits
  EXPECT_EQ(IntOf("0x100000001"), 1);
  EXPECT_EQ(IntOf("-42"), -42);
  EXPECT_EQ(IntOf("99999999999"), 2147483647);  // strtol with a 32-bit long clamps
  EXPECT_EQ(capture.Count(), 0);

  EXPECT_EQ(IntOf("12.6"), 13);
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Warning: rounding float value 12.6"));
  capture.Clear();
  EXPECT_EQ(IntOf("db20"), 10);
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "Warning: rounding float value 10"));
  capture.Clear();

  EXPECT_EQ(IntOf("abc"), 0);
  EXPECT_EQ(capture.Texts(ReportSlot::kWarning),
            std::vector<std::string>{"Cannot evaluate 'abc' - no file"});
  capture.Clear();
  EXPECT_EQ(IntOf(""), 0);
  EXPECT_EQ(capture.Texts(ReportSlot::kWarning),
            std::vector<std::string>{"Cannot evaluate '' - no file"});
}

TEST(ParamValueConversion, TextToFloat) {
  ScopedReportCapture capture;
  ParamValueText thousand("v", ParamRawValue("1e3"));
  EXPECT_FLOAT_EQ(thousand.GetFloat(), 1000.0f);
  ParamValueText hex("v", ParamRawValue("0x10"));
  EXPECT_FLOAT_EQ(hex.GetFloat(), 16.0f);
  ParamValueText db("v", ParamRawValue("db6"));
  EXPECT_NEAR(db.GetFloat(), 1.995f, 0.001f);
  EXPECT_EQ(capture.Count(), 0);

  ParamValueText bad_db("v", ParamRawValue("db6x"));
  EXPECT_NEAR(bad_db.GetFloat(), 1.995f, 0.001f);
  EXPECT_TRUE(capture.Contains(ReportSlot::kLog, "invalid db value db6x"));
}

TEST(ParamValueConversion, FileBoundTextsGoToTheEvaluatorQuietly) {
  ParamFile file;
  file.AddText("product", "2*3");
  file.AddText("flag", "true");
  file.SetFile(&file);
  ScopedReportCapture capture;
  EXPECT_EQ(file.GetEntryByName("product")->GetInt(), 0);
  EXPECT_FALSE(file.GetEntryByName("flag")->GetBool());
  EXPECT_EQ(capture.Count(), 0);
}

TEST(ParamValueConversion, NumbersAsText) {
  ParamValueFloat half("f", ParamRawValueFloat(0.5f));
  EXPECT_STREQ(half.GetText().Data(), "0.5");
  EXPECT_EQ(half.GetInt(), 1);  // nearest
  ParamValueInt minus_three("i", ParamRawValueInt(-3));
  EXPECT_STREQ(minus_three.GetText().Data(), "-3");
  EXPECT_FLOAT_EQ(minus_three.GetFloat(), -3.0f);
  ParamValueFloat huge("f", ParamRawValueFloat(1e30f));
  EXPECT_EQ(huge.GetInt(), 2147483647);  // clamped, not undefined
}

class PrefixLocalizer : public LocalizeStringFunctions {
 public:
  RString LocalizeString(const char* id) override { return Concat("localized:", id); }
};

TEST(ParamValueLocalization, StrTextsGoThroughTheHook) {
  ParamValueText hello("t", ParamRawValue("$STR_HELLO"));
  EXPECT_STREQ(hello.GetText().Data(), "STR_HELLO");
  EXPECT_STREQ(hello.GetRawText().Data(), "$STR_HELLO");

  PrefixLocalizer localizer;
  SetLocalizeStringFunctions(&localizer);
  EXPECT_STREQ(hello.GetText().Data(), "localized:STR_HELLO");
  EXPECT_STREQ(hello.GetTextAlt().Data(), "localized:STR_HELLO");
  EXPECT_STREQ(hello.GetRawText().Data(), "$STR_HELLO");
  ParamValueText plain("t", ParamRawValue("$ST"));
  EXPECT_STREQ(plain.GetText().Data(), "$ST");
  ParamArrayValueText item(ParamRawValue("$STR_X"));
  EXPECT_STREQ(item.GetText().Data(), "localized:STR_X");
  SetLocalizeStringFunctions(nullptr);
  EXPECT_STREQ(hello.GetText().Data(), "STR_HELLO");
}

TEST(ParamValueSetters, KindsRefuseWhatTheyCannotHold) {
  ScopedReportCapture capture;
  ParamValueText text("t", ParamRawValue("x"));
  text.SetInt(7);
  EXPECT_STREQ(text.GetRawText().Data(), "7");
  text.SetFloat(1.5f);
  EXPECT_STREQ(text.GetRawText().Data(), "1.500000");
  EXPECT_EQ(capture.Count(), 0);
  text.SetFloat(std::numeric_limits<float>::infinity());
  EXPECT_STREQ(text.GetRawText().Data(), "0");
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Setting invalid value inf"));
  capture.Clear();

  // The number kinds keep their number when set from text ("2") and report
  // it twice: `note` in `slot`, `error` at the caller's place.
  auto set_text_refused = [&capture](auto& value, ReportSlot slot, const char* note,
                                     const char* error) {
    value.SetText("2");
    EXPECT_TRUE(capture.Contains(slot, note));
    EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, error));
  };

  ParamValueFloat f("f", ParamRawValueFloat(1));
  set_text_refused(f, ReportSlot::kLog, "Float value set as string 2", "Float value set as string");
  EXPECT_FLOAT_EQ(f.GetFloat(), 1.0f);
  f.SetInt(4);
  EXPECT_FLOAT_EQ(f.GetFloat(), 4.0f);
  capture.Clear();

  ParamValueInt i("i", ParamRawValueInt(1));
  set_text_refused(i, ReportSlot::kWarning, "Int value set as string 2", "Int set as string");
  EXPECT_EQ(i.GetInt(), 1);
  i.SetFloat(2.6f);
  EXPECT_EQ(i.GetInt(), 3);
}

TEST(ParamValueExpression, ReadsAsItsTextAndEvaluatesToZero) {
  ParamFile file;
  file.AppendEntry(new ParamValueExpression("e", ParamRawValueExpression("x+1")));
  file.SetFile(&file);
  EntryHandle e = file.GetEntryByName("e");
  EXPECT_TRUE(e->IsExpression());
  EXPECT_STREQ(e->GetText().Data(), "x+1");
  EXPECT_EQ(e->GetInt(), 0);
  EXPECT_FLOAT_EQ(e->GetFloat(), 0.0f);
}

class CountingEvaluator : public Evaluator {
 public:
  float EvaluateFloat(const char* text) override {
    return static_cast<float>(std::strlen(text)) + 0.4f;
  }
};
class CountingEvaluatorFunctions : public EvaluatorFunctions {
 public:
  Evaluator* CreateEvaluator(int) override { return new CountingEvaluator; }
};

TEST(ParamValueExpression, ReplacedEvaluatorIsAskedThroughTheFile) {
  CountingEvaluatorFunctions functions;
  SetEvaluatorFunctions(&functions);
  ParamFile file;
  file.AddText("t", "abcd");
  file.SetFile(&file);
  EXPECT_FLOAT_EQ(file.GetEntryByName("t")->GetFloat(), 4.4f);
  EXPECT_EQ(file.GetEntryByName("t")->GetInt(), 4);
  SetEvaluatorFunctions(nullptr);
}

TEST(ParamArrayItems, OutOfRangeAndScalarMisuseReportAndYieldNeutralValues) {
  ParamFile file;
  ParamEntry* list = file.AddArray("list");
  list->AddItemInt(1);
  list->AddItemText("two");
  ScopedReportCapture capture;
  const IParamArrayValue& missing = list->GetItem(2);
  EXPECT_STREQ(missing.GetText().Data(), "");
  EXPECT_EQ(capture.Texts(ReportSlot::kErrorLevel),
            std::vector<std::string>{"Config: 'list' array does not have 3 entries."});
  capture.Clear();
  list->GetItem(0).GetItem(0);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorLevel, "Value not an array."));

  ParamArrayValueArray* nested = list->AddItemArray();
  ASSERT_NE(nested, nullptr);
  nested->AddValue(3);
  nested->AddValue("four");
  EXPECT_EQ(list->GetSize(), 3);
  EXPECT_EQ(list->GetItem(2).GetItemCount(), 2);
  EXPECT_STREQ(list->GetItem(2).GetItem(1).GetText().Data(), "four");

  list->SetValue(0, 2.5f);
  EXPECT_TRUE(list->GetItem(0).IsFloatValue());
  list->SetValue(1, 9);
  EXPECT_EQ(list->GetItem(1).GetInt(), 9);
  list->DeleteValue(0);
  EXPECT_EQ(list->GetSize(), 2);
  capture.Clear();
  list->SetValue(5, "past the end");  // nothing to replace there
  EXPECT_EQ(list->GetSize(), 2);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, "Array index out of range"));
}

TEST(ParamArrayItems, AccessLevelsGuardAddingOnly) {
  ParamFile file;
  ParamEntry* list = file.AddArray("list");
  list->AddItemInt(1);
  ScopedReportCapture capture;
  list->SetAccess(PAReadAndCreate);
  list->AddItemInt(2);
  EXPECT_TRUE(capture.Contains(ReportSlot::kWarning, "Attempt to modify add-only item list"));
  list->SetAccess(PAReadOnly);
  list->AddItemText("x");
  EXPECT_EQ(list->AddItemArray(), nullptr);
  EXPECT_TRUE(capture.Contains(ReportSlot::kWarning, "Attempt to modify read-only item list"));
  EXPECT_EQ(list->GetSize(), 1);
  list->SetValue(0, "changed");  // not guarded
  EXPECT_STREQ(list->GetItem(0).GetText().Data(), "changed");
  list->Clear();
  EXPECT_EQ(list->GetSize(), 0);
}

}  // namespace
}  // namespace corvane
