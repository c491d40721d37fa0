#include "foundation/app_frame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/report_capture.h"

namespace corvane {
namespace {

int FormatLine(char (&buffer)[kReportBufferSize], const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatReportLine(buffer, format, args);
  va_end(args);
  return length;
}

TEST(AppFrame, DefaultLineIsCutAt511CharactersWithoutLineFeed) {
  char line[kReportBufferSize];
  const std::string long_text(600, 'x');
  EXPECT_EQ(FormatLine(line, "%s", long_text.c_str()), 511);
  EXPECT_EQ(std::string(line), std::string(511, 'x'));

  const std::string exact(511, 'y');
  EXPECT_EQ(FormatLine(line, "%s", exact.c_str()), 511);
  EXPECT_EQ(line[510], 'y');

  const std::string fits(510, 'z');
  EXPECT_EQ(FormatLine(line, "%s", fits.c_str()), 511);
  EXPECT_EQ(std::string(line), fits + "\n");

  EXPECT_EQ(FormatLine(line, "%s(%d) : %s", "array", 7, "Array index out of range"), 36);
  EXPECT_STREQ(line, "array(7) : Array index out of range\n");
}

TEST(AppFrame, EachReportFunctionReachesItsSlot) {
  ScopedReportCapture capture;
  ReportLog("log %d", 1);
  ReportWarning("warning %s", "w");
  ReportErrorAt("%s(%d) : %s", "file.cpp", 12, "Not implemented");
  ReportMessage("message");
  ReportError("Cannot open file '%s'", "a.txt");
  ReportErrorLevel(3, "No entry '%s'.", "x");
  ReportDataWarning("Bad version %d in ParamFile %s", 9, "p.bin");
  CORVANE_VERIFY(1 + 1 == 3);

  ASSERT_EQ(capture.Count(), 8);
  const auto& reports = capture.Reports();
  EXPECT_EQ(reports[0].slot, ReportSlot::kLog);
  EXPECT_EQ(reports[0].text, "log 1");
  EXPECT_EQ(reports[1].slot, ReportSlot::kWarning);
  EXPECT_EQ(reports[2].slot, ReportSlot::kErrorAt);
  EXPECT_EQ(reports[2].text, "file.cpp(12) : Not implemented");
  EXPECT_EQ(reports[3].slot, ReportSlot::kMessage);
  EXPECT_EQ(reports[4].slot, ReportSlot::kError);
  EXPECT_EQ(reports[4].text, "Cannot open file 'a.txt'");
  EXPECT_EQ(reports[5].slot, ReportSlot::kErrorLevel);
  EXPECT_EQ(reports[5].severity, 3);
  EXPECT_EQ(reports[5].text, "No entry 'x'.");
  EXPECT_EQ(reports[6].slot, ReportSlot::kDataWarning);
  EXPECT_EQ(reports[7].slot, ReportSlot::kErrorAt);
  EXPECT_NE(reports[7].text.find("Assertion failed '1 + 1 == 3'"), std::string::npos);
  EXPECT_NE(reports[7].text.find("app_frame_test.cpp("), std::string::npos);
}

void ForwardLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ReportLogV(format, args);
  va_end(args);
}

TEST(AppFrame, CaptureNestsAndRestoresThePreviousObject) {
  AppFrameFunctions* before = GetAppFrameFunctions();
  {
    ScopedReportCapture outer;
    {
      ScopedReportCapture inner;
      ForwardLog("inner %s", "only");
      EXPECT_EQ(inner.Texts(ReportSlot::kLog), std::vector<std::string>{"inner only"});
    }
    ReportLog("outer");
    EXPECT_EQ(outer.Count(), 1);
    EXPECT_TRUE(outer.Contains(ReportSlot::kLog, "outer"));
  }
  EXPECT_EQ(GetAppFrameFunctions(), before);
  EXPECT_EQ(SetAppFrameFunctions(nullptr), before);
  EXPECT_EQ(GetAppFrameFunctions(), before);
}

#if !defined(_WIN32)
// The posix debug output can be sent to a file, so the default object's real
// lines can be read back there.
TEST(AppFrame, DefaultWritesOneLinePerReportAndDropsTheSeverity) {
  const std::string path = ::testing::TempDir() + "app_frame_test.log";
  std::remove(path.c_str());
  setenv("CORVANE_DEBUG_OUTPUT", path.c_str(), 1);
  ReportLog("No entry '%s'.", "version");
  ReportErrorLevel(3, "No entry '%s'.", "version");
  ReportError("%s", std::string(700, 'e').c_str());
  unsetenv("CORVANE_DEBUG_OUTPUT");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "No entry 'version'.\nNo entry 'version'.\n" + std::string(511, 'e'));
  std::remove(path.c_str());
}
#endif

}  // namespace
}  // namespace corvane
