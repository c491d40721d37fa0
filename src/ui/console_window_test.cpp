#include "ui/console_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace corvane {
namespace {

// Message n is "M<n> %s" except the ones below.
void TestMessages(ModuleInstance, int id, char* out, int size) {
  std::string text;
  if (id == 100) {
    text = std::string(2000, 'T');  // longer than every template buffer
  } else if (id == 101) {
    text = "%s";
  } else {
    text = "M" + std::to_string(id) + " %s";
  }
  std::snprintf(out, static_cast<size_t>(size), "%s", text.c_str());
}

class RecordingWindow final : public ConsoleWindowProgress {
 public:
  RecordingWindow() : ConsoleWindowProgress(&TestMessages) {}

  void StopAnimation() override { stopped = true; }
  AbortRetryIgnore AskAbortRetryIgnore(const char*, const char*, bool) override {
    return AbortRetryIgnore::kAbort;
  }

  std::string title = "Updating...";
  std::string progress = "Progress";
  std::vector<std::string> lines;
  bool trimmed = false;
  bool stopped = false;
  bool ok = true;
  int pumps = 0;
  int waits = 0;
  bool opens = true;

 protected:
  bool OpenWindow() override { return opens; }
  void CloseWindow() override {}
  void ShowTitle(const char* text) override { title = text; }
  void ShowProgress(const char* text) override { progress = text; }
  void ShowLog(const std::string&, const char* line, bool was_trimmed) override {
    lines.emplace_back(line);
    trimmed = was_trimmed;
  }
  void ShowOK(bool enabled) override { ok = enabled; }
  void Pump() override { ++pumps; }
  bool WaitForInput() override {
    // The user presses OK on the second wait.
    if (++waits == 2) Ended();
    return true;
  }
  void RequestClose() override { Ended(); }
};

TEST(ConsoleWindowTest, CreateClearsTheProgressPlaceholder) {
  RecordingWindow window;
  window.Create(nullptr);
  EXPECT_TRUE(window.IsOpen());
  EXPECT_EQ(window.progress, "");
  window.SetProgressText("file %d", 3);
  EXPECT_EQ(window.progress, "file 3");
  window.SetProgressText("");
  EXPECT_EQ(window.progress, "");
}

TEST(ConsoleWindowTest, OperationsWithoutAWindowDoNothing) {
  RecordingWindow window;
  window.SetTitle(16, "x");
  window.AddLine(10, "x");
  window.ProcessMessages();
  window.WaitForClose(true);  // returns at once
  EXPECT_EQ(window.title, "Updating...");
  EXPECT_TRUE(window.lines.empty());
  EXPECT_EQ(window.pumps, 0);
  EXPECT_EQ(window.waits, 0);

  RecordingWindow failed;
  failed.opens = false;
  failed.Create(nullptr);
  EXPECT_FALSE(failed.IsOpen());
  failed.AddLine(10, "x");
  EXPECT_TRUE(failed.lines.empty());
}

TEST(ConsoleWindowTest, FormattedTextsAreCutAtTheirBuffers) {
  RecordingWindow window;
  window.Create(nullptr);
  window.SetTitle(100);
  EXPECT_EQ(window.title, std::string(511, 'T'));
  window.SetProgress(101, std::string(600, 'p').c_str());
  EXPECT_EQ(window.progress.size(), 511u);
  window.AddLine(100);
  EXPECT_EQ(window.lines.back(), std::string(1023, 'T') + "\r\n");
  window.AddLine(101, std::string(5000, 'L').c_str());
  EXPECT_EQ(window.lines.back(), std::string(4093, 'L') + "\r\n");
}

TEST(ConsoleWindowTest, EveryLineEndsInCarriageReturnAndLineFeed) {
  RecordingWindow window;
  window.Create(nullptr);
  window.AddLine(10, "a");
  window.AddLine(11, "b");
  EXPECT_EQ(window.LogText(), "M10 a\r\nM11 b\r\n");
}

TEST(ConsoleWindowTest, TrimmingRemovesWholeLinesOldestFirstBeforeAppending) {
  RecordingWindow window;
  window.Create(nullptr);
  // 31 lines of 1,000 characters plus "\r\n": 31,062 characters.
  std::string body(998, 'x');
  for (int i = 0; i < 31; ++i) window.AddLine(101, (std::to_string(i % 10) + body).c_str());
  // 30 lines (30,060) > 30,720? No: trimming ran when the 31st was added only
  // if the 30 before exceeded the limit, which they did not.
  EXPECT_FALSE(window.trimmed);
  EXPECT_EQ(window.LogText().size(), 31u * 1001u);
  window.AddLine(101, "new");
  EXPECT_TRUE(window.trimmed);
  // One line removed (31,031 -> 30,030 <= 30,720), then the new one appended.
  EXPECT_EQ(window.LogText().size(), 30u * 1001u + 5u);
  EXPECT_EQ(window.LogText()[0], '1');
  EXPECT_EQ(window.LogText().substr(window.LogText().size() - 5), "new\r\n");
}

TEST(ConsoleWindowTest, TrimRuleOnItsOwn) {
  std::string log = "a\r\nbb\r\nccc\r\n";
  EXPECT_FALSE(TrimLog(&log, log.size()));
  EXPECT_TRUE(TrimLog(&log, log.size() - 1));
  EXPECT_EQ(log, "bb\r\nccc\r\n");
  // No line feed at all: emptied completely.
  std::string single(40000, 'z');
  EXPECT_TRUE(TrimLog(&single));
  EXPECT_TRUE(single.empty());
}

TEST(ConsoleWindowTest, WaitForCloseEnablesOkAndReturnsOnlyWhenEnded) {
  RecordingWindow window;
  window.Create(nullptr);
  window.EnableOK(false);
  EXPECT_FALSE(window.ok);
  window.WaitForClose(true);
  EXPECT_TRUE(window.ok);
  EXPECT_EQ(window.waits, 2);
  EXPECT_FALSE(window.IsOpen());
  window.ProcessMessages();
  EXPECT_EQ(window.pumps, 0);  // an ended window is not pumped
  window.Destroy();            // nothing left to destroy
}

TEST(ConsoleWindowTest, PumpsServeEveryOpenWindow) {
  RecordingWindow first;
  RecordingWindow second;
  first.Create(nullptr);
  second.Create(nullptr);
  first.ProcessMessages();
  EXPECT_EQ(first.pumps, 1);
  EXPECT_EQ(second.pumps, 1);
  second.Destroy();
  ProcessPendingMessages();
  EXPECT_EQ(first.pumps, 2);
  EXPECT_EQ(second.pumps, 1);
  {
    RecordingWindow deleted_while_open;
    deleted_while_open.Create(nullptr);
  }
  ProcessPendingMessages();  // the deleted window is not pumped
  EXPECT_EQ(first.pumps, 3);
}

TEST(ConsoleWindowTest, CloseEndsTheWindow) {
  RecordingWindow window;
  window.Create(nullptr);
  window.Close();
  EXPECT_FALSE(window.IsOpen());
}

}  // namespace
}  // namespace corvane
