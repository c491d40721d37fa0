#include <gtest/gtest.h>

#include <string>

#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_value.h"
#include "param/text/param_text_load.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

std::string Written(const ParamEntry& entry, int indent, const char* eol) {
  QOStrStream out;
  entry.SaveText(out, indent, eol);
  return std::string(out.str() ? out.str() : "", static_cast<size_t>(out.GetLength()));
}

TEST(ParamSaveText, ValuesAreQuotedAndNumbersPrinted) {
  ParamFile file;
  file.AddText("name", "say \"hi\"\r\nbye");
  file.AddFloat("f", 1.5f);
  file.AddInt("i", -2);
  file.AppendEntry(new ParamValueExpression("e", ParamRawValueExpression("a \"b\"")));
  file.AddText("empty", "");
  EXPECT_EQ(Written(file, 0, "\n"),
            "name=\"say \"\"hi\"\"\" \\n \"bye\";\n"
            "f=1.500000;\n"
            "i=-2;\n"
            "e=@\"a \"\"b\"\"\";\n"
            "empty=\"\";\n");
}

TEST(ParamSaveText, NumericArraysStayOnOneLine) {
  ParamFile file;
  ParamEntry* nums = file.AddArray("nums");
  nums->AddItemInt(1);
  nums->AddItemFloat(2.5f);
  nums->AddItemText("3");
  file.AddArray("none");
  EXPECT_EQ(Written(file, 1, "\r\n"), "\tnums[]={1,2.500000,\"3\"};\r\n\tnone[]={};\r\n");
}

TEST(ParamSaveText, OtherArraysTakeOneItemPerLine) {
  ParamFile file;
  ParamEntry* mixed = file.AddArray("mixed");
  mixed->AddItemInt(1);
  mixed->AddItemText("x");
  ParamArrayValueArray* numbers = mixed->AddItemArray();
  numbers->AddValue(2);
  numbers->AddValue(3);
  ParamArrayValueArray* words = mixed->AddItemArray();
  words->AddValue("a");
  ParamEntry* blank = file.AddArray("blank");
  blank->AddItemText("");
  EXPECT_EQ(Written(file, 0, "\n"),
            "mixed[]=\n"
            "{\n"
            "\t1,\n"
            "\t\"x\",\n"
            "\t{2,3},\n"
            "\t\n"
            "\t{\n"
            "\t\t\"a\"\n"
            "\t}\n"
            "};\n"
            "blank[]=\n"
            "{\n"
            "\t\"\"\n"
            "};\n");
}

TEST(ParamSaveText, ClassesAreFramedAndIndented) {
  ParamFile file;
  ParamClass* base = file.AddClass("Base");
  ParamClass* derived = file.AddClass("Derived");
  derived->SetBase(base);
  derived->AddInt("v", 1);
  derived->AddClass("Inner")->AddText("t", "x");
  file.AddClass("Decl", false, true);
  file.AppendEntry(new ParamClassDelete("Gone"));
  EXPECT_EQ(Written(file, 0, "\n"),
            "class Base\n"
            "{\n"
            "};\n"
            "class Derived: Base\n"
            "{\n"
            "\tv=1;\n"
            "\tclass Inner\n"
            "\t{\n"
            "\t\tt=\"x\";\n"
            "\t};\n"
            "};\n"
            "class Decl;\n"
            "delete Gone;\n");
  // A class on its own is written with its frame.
  EXPECT_EQ(Written(*base, 2, "\n"), "\t\tclass Base\n\t\t{\n\t\t};\n");
}

// The text parser reads what the writer writes into the same tree.
TEST(ParamSaveText, WrittenTextParsesBackToTheSameText) {
  ParamFile file;
  file.AddText("version", "1.05");
  file.AddText("quoted", "two \"quoted\"\nlines");
  file.AddInt("count", 3);
  file.AddFloat("ratio", 0.25f);
  file.AppendEntry(new ParamValueExpression("expr", ParamRawValueExpression("a*2")));
  ParamEntry* list = file.AddArray("list");
  list->AddItemInt(1);
  list->AddItemText("x");
  ParamArrayValueArray* nested = list->AddItemArray();
  nested->AddValue(3);
  nested->AddValue("y");
  ParamClass* base = file.AddClass("Base");
  base->AddInt("inherited", 7);
  ParamClass* derived = file.AddClass("Derived");
  derived->SetBase(base);
  derived->AddClass("Inner")->AddText("name", "$STR_NAME");
  file.AddClass("Declared", false, true);
  file.AppendEntry(new ParamClassDelete("Removed"));
  std::string text = Written(file, 0, "\n");

  ParamFile parsed;
  ASSERT_EQ(ParamParseText(parsed, text.data(), text.size()), 0);
  EXPECT_EQ(Written(parsed, 0, "\n"), text);
  EXPECT_EQ(parsed.FindEntryPath("Derived/inherited")->GetInt(), 7);
  EXPECT_STREQ(parsed.FindEntry("quoted")->GetText().Data(), "two \"quoted\"\nlines");
}

}  // namespace
}  // namespace corvane
