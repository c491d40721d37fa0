#include "stream/qo_stream.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(QOStrStream, GrowsByDoublingAndKeepsWhatWasWritten) {
  QOStrStream out;
  std::string first(60000, 'a');
  std::string second(100000, 'b');
  EXPECT_EQ(out.write(first.data(), 60000), 60000);
  EXPECT_EQ(out.write(second.data(), 100000), 160000);
  EXPECT_EQ(out.GetBuffer()->GetSize(), 262144u);  // 65,536 doubled twice
  ASSERT_EQ(out.GetLength(), 160000);
  EXPECT_EQ(std::string(out.str(), 60000), first);
  EXPECT_EQ(std::string(out.str() + 60000, 100000), second);
  EXPECT_FALSE(out.fail());
}

TEST(QOStrStream, SeekPastTheEndLeavesZerosInTheGap) {
  QOStrStream out;
  out.write("head", 4);
  out.SeekP(70000);
  EXPECT_EQ(out.GetLength(), 4);  // seeking alone writes nothing
  out.put('T');
  ASSERT_EQ(out.GetLength(), 70001);
  EXPECT_EQ(std::string(out.str(), 4), "head");
  EXPECT_EQ(std::string(out.str() + 4, 69996), std::string(69996, '\0'));
  EXPECT_EQ(out.str()[70000], 'T');
  out.SeekP(1);
  EXPECT_EQ(out.write("EA", 2), 3);
  EXPECT_EQ(std::string(out.str(), 4), "hEAd");
  EXPECT_EQ(out.GetLength(), 70001);
}

}  // namespace
}  // namespace corvane
