// Property-style round trips of the text form: generated trees with
// thousands of classes go text -> tree -> text -> tree and text -> binary ->
// text, and must come back unchanged.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/report_capture.h"
#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_value.h"
#include "param/text/param_text_load.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

class TreeGenerator {
 public:
  explicit TreeGenerator(uint32_t seed) : rng_(seed) {}

  void Fill(ParamClass& cls, int depth, int& classes_left) {
    std::vector<ParamClass*> defined;
    int count = Pick(1, 9);
    for (int i = 0; i < count; ++i) {
      std::string name = Name();
      switch (Pick(0, 11)) {
        case 0:
        case 1:
          cls.AddInt(name.c_str(), static_cast<int>(rng_()));
          break;
        case 2:
          cls.AddFloat(name.c_str(), static_cast<float>(Pick(-80000, 80000)) / 8.0f);
          break;
        case 3:
        case 4:
          cls.AddText(name.c_str(), Text().c_str());
          break;
        case 5:
          cls.AppendEntry(
              new ParamValueExpression(name.c_str(), ParamRawValueExpression(Text().c_str())));
          break;
        case 6: {
          auto* array = static_cast<ParamArray*>(cls.AddArray(name.c_str()));
          FillItems(*array, 0);
          break;
        }
        case 7:
          if (Pick(0, 1) == 0) {
            cls.AddClass(name.c_str(), true, true);
          } else {
            auto* marker = new ParamClassDelete(name.c_str());
            marker->SetParent(&cls);
            cls.AppendEntry(marker);
          }
          break;
        default: {
          if (classes_left <= 0) break;
          --classes_left;
          ParamClass* sub = cls.AddClass(name.c_str(), true);
          if (!defined.empty() && Pick(0, 2) == 0)
            sub->SetBase(defined[Pick(0, static_cast<int>(defined.size()) - 1)]);
          if (depth < 5) Fill(*sub, depth + 1, classes_left);
          defined.push_back(sub);
        }
      }
    }
  }

 private:
  template <class Items>
  void FillItemsInto(Items& target, int depth) {
    int count = Pick(0, 6);
    bool numeric = Pick(0, 1) == 0;
    for (int i = 0; i < count; ++i) {
      int kind = numeric ? Pick(0, 1) : Pick(0, 4);
      if (kind == 0) target.AddValue(static_cast<int>(Pick(-100000, 100000)));
      if (kind == 1) target.AddValue(static_cast<float>(Pick(-800, 800)) / 4.0f);
      if (kind == 2) target.AddValue(Text().c_str());
      if (kind == 3) {
        if (depth < 3) FillItemsInto(*target.AddArrayValue(), depth + 1);
      }
      if (kind == 4) {
        target.AddItem(new ParamArrayValueSpec<ParamRawValueExpression>(
            ParamRawValueExpression(Text().c_str())));
      }
    }
  }
  void FillItems(ParamArray& array, int depth) {
    // Same shapes as nested arrays, through the array's own item operations.
    struct Adapter {
      ParamArray& a;
      void AddValue(int v) { a.AddItemInt(v); }
      void AddValue(float v) { a.AddItemFloat(v); }
      void AddValue(const char* v) { a.AddItemText(v); }
      ParamArrayValueArray* AddArrayValue() { return a.AddItemArray(); }
      void AddItem(IParamArrayValue* item) { a.AddItem(item); }
    } adapter{array};
    FillItemsInto(adapter, depth);
  }

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  std::string Name() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789";
    std::string name = "n" + std::to_string(counter_++) + "_";
    for (int i = Pick(0, 6); i > 0; --i) name.push_back(kChars[Pick(0, sizeof(kChars) - 2)]);
    return name;
  }

  // Texts that stress the writer and the reader: quotes, line breaks,
  // separators, comment-like and number-like content.
  std::string Text() {
    static const char kChars[] = " ab\"\n\\#;{},=@09.eEx-/";
    std::string text;
    for (int i = Pick(0, 12); i > 0; --i) text.push_back(kChars[Pick(0, sizeof(kChars) - 2)]);
    return text;
  }

  std::mt19937 rng_;
  int counter_ = 0;
};

std::string SaveText(const ParamFile& file) {
  QOStrStream out;
  file.SaveText(out, 0, "\r\n");
  return std::string(out.str() ? out.str() : "", static_cast<size_t>(out.GetLength()));
}

TEST(ParamTextRoundTrip, GeneratedTreesSurviveTextAndBinary) {
  for (uint32_t seed : {1u, 7u, 2024u}) {
    SCOPED_TRACE(seed);
    ScopedReportCapture reports;
    ParamFile original;
    TreeGenerator generator(seed);
    int classes_left = 3000;
    while (classes_left > 0) generator.Fill(original, 0, classes_left);
    const std::string text = SaveText(original);
    // The generator must have produced what the round trip is meant to cover.
    ASSERT_GT(text.size(), 100000u);
    for (const char* shape : {"\" \\n \"", "\"\"", "=@\"", ": n", "delete n", "\t{\r\n\t\t{"}) {
      EXPECT_NE(text.find(shape), std::string::npos) << shape;
    }

    ParamFile parsed;
    ASSERT_EQ(ParamParseText(parsed, text.data(), text.size(), "gen.cpp"), 0);
    ASSERT_EQ(reports.Count(ReportSlot::kError), 0) << reports.Reports()[0].text;
    const std::string again = SaveText(parsed);
    ASSERT_EQ(again, text);

    ParamFile reparsed;
    ASSERT_EQ(ParamParseText(reparsed, again.data(), again.size(), "gen.cpp"), 0);
    EXPECT_EQ(SaveText(reparsed), text);

    QOStrStream binary;
    ASSERT_TRUE(parsed.SaveBin(binary));
    QIStrStream in;
    in.init(binary);
    ParamFile loaded;
    ASSERT_TRUE(loaded.LoadBin(in));
    EXPECT_EQ(SaveText(loaded), text);
  }
}

}  // namespace
}  // namespace corvane
