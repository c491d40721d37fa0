// The clock the progress line shows its elapsed time and time left with.

#include "maker/make_progress.h"

#include <gtest/gtest.h>

namespace corvane::maker {
namespace {

TEST(MakeProgressClock, RoundsToWholeSecondsAndShowsHoursOnlyWhenThereAreSome) {
  EXPECT_EQ(MakeProgress::Clock(0), "0:00");
  EXPECT_EQ(MakeProgress::Clock(-3), "0:00");
  EXPECT_EQ(MakeProgress::Clock(65.4), "1:05");
  EXPECT_EQ(MakeProgress::Clock(59.5), "1:00");
  EXPECT_EQ(MakeProgress::Clock(3599.4), "59:59");
  EXPECT_EQ(MakeProgress::Clock(43203), "12:00:03");
}

TEST(MakeProgressClock, JustBelowHalfASecondRoundsDown) {
  // Adding 0.5 and truncating made this 1: the sum rounds up to 1.0.
  EXPECT_EQ(MakeProgress::Clock(0.49999999999999994), "0:00");
  EXPECT_EQ(MakeProgress::Clock(0.5), "0:01");
}

}  // namespace
}  // namespace corvane::maker
