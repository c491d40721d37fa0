// The report page stays one well-formed page whatever the names hold: the
// characters HTML gives a meaning are escaped, and a name cannot end the
// embedded data early.

#include "maker/html_report.h"

#include <gtest/gtest.h>

namespace corvane::maker {
namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(HtmlReport, NamesAreEscapedAndCannotEndTheEmbeddedData) {
  MakeSummary summary;
  summary.version = "1.02";
  summary.whole.push_back({"All\\A&B<i>\xE9</script>.TXT", 12});
  StepSummary step;
  step.from = "1.00";
  step.to = "1.01";
  step.updates.push_back({"DATA\\\"Q\".DAT", false, false, false, 10, 20, 7});
  summary.steps.push_back(step);
  summary.payload_bytes = 19;
  const std::string page = MakeReportHtml(summary);

  EXPECT_NE(page.find("All\\A&amp;B&lt;i&gt;\xC3\xA9&lt;/script&gt;.TXT"), std::string::npos);
  EXPECT_NE(page.find("DATA\\&quot;Q&quot;.DAT"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  // Two scripts: the data and the code; nothing else closes one.
  EXPECT_EQ(Count(page, "</script>"), 2u);
  EXPECT_NE(page.find("\\u003c/script>.TXT"), std::string::npos);
  // Every figure shown: the item's share of the payload.
  EXPECT_NE(page.find("12 B, 63.2%"), std::string::npos);
  EXPECT_NE(page.find("7 B, 36.8%"), std::string::npos);
}

}  // namespace
}  // namespace corvane::maker
