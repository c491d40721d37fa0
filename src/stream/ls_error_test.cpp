#include "stream/ls_error.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/report_capture.h"

namespace corvane {
namespace {

TEST(LSError, TextsAndTheReportForCodesWithoutText) {
  ScopedReportCapture capture;
  EXPECT_STREQ(LSErrorText(LSOK), "No error");
  EXPECT_STREQ(LSErrorText(LSNoFile), "No such file");
  EXPECT_STREQ(LSErrorText(LSBadFile), "Bad file (CRC, ...)");
  EXPECT_STREQ(LSErrorText(LSDiskFull), "No such file");
  EXPECT_STREQ(LSErrorText(LSNoAccess), "Access denied");
  EXPECT_STREQ(LSErrorText(LSDiskError), "Disk error");
  EXPECT_STREQ(LSErrorText(LSNoEntry), "No entry");
  EXPECT_STREQ(LSErrorText(LSUnknownError), "Unknown error");
  EXPECT_EQ(capture.Count(), 0);
  EXPECT_STREQ(LSErrorText(11), "Unknown error");
  EXPECT_STREQ(LSErrorText(13), "Unknown error");
  EXPECT_EQ(capture.Count(ReportSlot::kErrorAt), 2);
  EXPECT_TRUE(capture.Contains(ReportSlot::kErrorAt, ") : LSError"));
}

}  // namespace
}  // namespace corvane
