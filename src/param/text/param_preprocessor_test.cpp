#include "param/text/param_preprocessor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/report_capture.h"
#include "param/param_file.h"
#include "param/text/param_text_load.h"
#include "stream/bank_header.h"
#include "stream/bank_list.h"
#include "stream/file_buffer.h"
#include "stream/qo_stream.h"
#include "support/scratch_folder.h"
#include "support/test_files.h"

namespace corvane {
namespace {

ParamEntry* Own(const ParamClass& cls, const char* name) {
  int index = cls.FindOwnIndex(name);
  return index >= 0 ? cls.EntryAt(index) : nullptr;
}

// Runs each test in a scratch folder of its own so files have short relative names.
class PreprocessorTest : public ::testing::Test {
 protected:
  void TearDown() override { UnregisterAllBanks(); }
  static void Write(const char* name, const std::string& text) {
    ASSERT_TRUE(test_support::WriteTestFile(name, text)) << name;
  }
  test_support::ScratchFolder folder_{"preprocessor"};
  test_support::ScopedCurrentDirectory inside_{folder_.path()};
};

TEST_F(PreprocessorTest, DefaultCopiesFilesUnchanged) {
  std::string big(10000, 'x');
  Write("copy.txt", "a=1;\n" + big);
  QOStrStream out;
  ASSERT_TRUE(GetPreprocessorFunctions()->Preprocess(out, "copy.txt", 1));
  EXPECT_EQ(std::string(out.str(), static_cast<size_t>(out.GetLength())), "a=1;\n" + big);
  QOStrStream none;
  EXPECT_FALSE(GetPreprocessorFunctions()->Preprocess(none, "absent.txt", 1));
  EXPECT_EQ(none.GetLength(), 0);
}

TEST_F(PreprocessorTest, OtherDirectivesPassTheHookAndFailTheParser) {
  ScopedReportCapture reports;
  Write("inc.cpp", "a=1;\n#include \"other.h\"\nb=2;\n");
  ParamFile file;
  EXPECT_EQ(ParamParseFile(file, "inc.cpp"), 3);
  EXPECT_TRUE(
      reports.Contains(ReportSlot::kError, "File inc.cpp, line 2: inc.cpp/: Wrong # directive"));
  EXPECT_NE(Own(file, "a"), nullptr);
}

// A replacement that wraps the source the way a macro preprocessor would,
// marking where the original lines start.
class WrappingPreprocessor final : public PreprocessorFunctions {
 public:
  bool Preprocess(QOStrStream& out, const char* path, int) override {
    std::string text = "injected=1;\n#line 1 \"" + std::string(path) + "\"\n";
    out.write(text.data(), static_cast<int64_t>(text.size()));
    QOStrStream body;
    if (!PreprocessorFunctions::Preprocess(body, path, 1)) return false;
    out.write(body.str(), body.GetLength());
    return true;
  }
};

TEST_F(PreprocessorTest, ReplacementHookAndLineDirective) {
  Write("wrapped.cpp", "x=1;\ny 2;\n");
  WrappingPreprocessor hook;
  PreprocessorFunctions* previous = SetPreprocessorFunctions(&hook);
  ScopedReportCapture reports;
  ParamFile file;
  int result = ParamParseFile(file, "wrapped.cpp");
  SetPreprocessorFunctions(previous);
  EXPECT_EQ(result, 3);
  EXPECT_NE(Own(file, "injected"), nullptr);
  // The message names the original line 2, not line 4 of the wrapped text.
  EXPECT_TRUE(reports.Contains(ReportSlot::kError, "File wrapped.cpp, line 2: "));
  EXPECT_EQ(GetPreprocessorFunctions(), previous);
}

std::string OneEntryBank(const std::string& name, const std::string& text) {
  std::string out = name;
  out.push_back('\0');
  auto u32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  u32(kBankMethodStored);
  u32(static_cast<uint32_t>(text.size()));
  u32(0);
  u32(0);
  u32(static_cast<uint32_t>(text.size()));
  out.push_back('\0');
  for (int i = 0; i < 5; ++i) u32(0);
  return out + text;
}

TEST_F(PreprocessorTest, ParsesBankEntries) {
  std::string bank_bytes = OneEntryBank("config.cpp", "class Cfg { v=7; };\n");
  Ref<IFileBuffer> memory(
      new FileBufferMemory(bank_bytes.data(), static_cast<int>(bank_bytes.size())));
  QFBank* bank = RegisterBankBuffer("cfg.vbk", memory, "cfg");
  LockBank("cfg\\");
  ParamFile file;
  ASSERT_EQ(ParamParseBankEntry(file, bank, "config.cpp"), 0);
  ParamClass* cfg = Own(file, "Cfg")->AsClass();
  EXPECT_EQ(Own(*cfg, "v")->GetInt(), 7);
  EXPECT_STREQ(cfg->GetSourceName().Data(), "config.cpp");
  EXPECT_FALSE(cfg->CanUnload());
  // The same entry through the file path and the bank list.
  ParamFile by_path;
  ASSERT_EQ(ParamParseFile(by_path, "cfg\\config.cpp"), 0);
  EXPECT_NE(Own(by_path, "Cfg"), nullptr);
  ScopedReportCapture reports;
  EXPECT_EQ(ParamParseBankEntry(file, bank, "missing.cpp"), 3);
}

TEST_F(PreprocessorTest, WordListNamesEachWord) {
  Write("words.txt", "alpha  beta\r\n\tgamma\n");
  ParamFile file;
  ASSERT_EQ(ParamParseWordList(file, "words.txt"), 0);
  ASSERT_EQ(file.GetEntryCount(), 3);
  EXPECT_STREQ(Own(file, "Line1")->GetRawText().Data(), "alpha");
  EXPECT_STREQ(Own(file, "Line3")->GetRawText().Data(), "gamma");
}

}  // namespace
}  // namespace corvane
