#include "run/version_detection.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(ParseVersion, MinorIsTheWholeSecondNumber) {
  EXPECT_EQ(ParseVersion("1.02"), 102);
  EXPECT_EQ(ParseVersion("1.2"), 102);
  EXPECT_EQ(ParseVersion("1.5"), 105);
  EXPECT_EQ(ParseVersion("1.10"), 110);
  EXPECT_EQ(ParseVersion("1.123"), 223);
  EXPECT_EQ(ParseVersion("2"), 200);
  EXPECT_EQ(ParseVersion(""), 0);
  EXPECT_EQ(ParseVersion(nullptr), 0);
}

TEST(ParseVersion, ReadsLikeStrtoul) {
  EXPECT_EQ(ParseVersion("  1.01"), 101);     // leading white space skipped
  EXPECT_EQ(ParseVersion("1.02.5160"), 102);  // the rest is ignored
  EXPECT_EQ(ParseVersion("1,02"), 100);       // no "." after the major
  EXPECT_EQ(ParseVersion("x.5"), 0);          // no digits: reading stops at the start
  EXPECT_EQ(ParseVersion(".5"), 5);           // no major, but a "." where reading stopped
  EXPECT_EQ(ParseVersion("1. 7"), 107);       // the minor skips white space too
}

TEST(ParseVersion, HugeNumbersSaturateLikeA32BitRuntime) {
  // 4294967295 * 100 + 0 wraps in 32 bits: the same on every build.
  EXPECT_EQ(ParseVersion("99999999999"), static_cast<int32_t>(0xFFFFFFFFu * 100u));
  EXPECT_EQ(ParseVersion("1.99999999999"), static_cast<int32_t>(100u + 0xFFFFFFFFu));
}

VersionGateResult Patch(const char* installed, const char* patch, int32_t required = 0) {
  return CheckVersionGate(true, installed, ParseVersion(installed), patch, 0, required);
}

TEST(VersionGate, PatchComparesTextsNotNumbers) {
  EXPECT_EQ(Patch("1.01", "1.02").outcome, VersionGateOutcome::kAccept);
  EXPECT_EQ(Patch("1.02", "1.02").outcome, VersionGateOutcome::kAlreadyAtVersion);
  EXPECT_EQ(Patch("1.02a", "1.02A").outcome, VersionGateOutcome::kAlreadyAtVersion);
  EXPECT_EQ(Patch("1.03", "1.02").outcome, VersionGateOutcome::kMoreRecent);
  EXPECT_EQ(Patch("1.02.5160", "1.02").outcome, VersionGateOutcome::kMoreRecent);
  EXPECT_EQ(Patch("1.01.5000", "1.02").outcome, VersionGateOutcome::kAccept);
  // 1.10 sorts before 1.9 although 110 > 109.
  EXPECT_EQ(Patch("1.9", "1.10").outcome, VersionGateOutcome::kMoreRecent);
  // An empty patch version is smaller than any installed text.
  EXPECT_EQ(Patch("1.00", "").outcome, VersionGateOutcome::kMoreRecent);
}

TEST(VersionGate, RequiredForPatchComesFirst) {
  VersionGateResult result = Patch("1.00", "1.02", 101);
  EXPECT_EQ(result.outcome, VersionGateOutcome::kTooOld);
  EXPECT_EQ(result.required, 101);
  EXPECT_EQ(Patch("1.01", "1.02", 101).outcome, VersionGateOutcome::kAccept);
  // Required applies even when the texts would say already-at-version.
  EXPECT_EQ(Patch("1.00", "1.00", 101).outcome, VersionGateOutcome::kTooOld);
}

TEST(VersionGate, AddonTestsOnlyItsRequiredVersion) {
  VersionGateResult result = CheckVersionGate(false, "1.01", 101, "0.5", 102, 0);
  EXPECT_EQ(result.outcome, VersionGateOutcome::kTooOld);
  EXPECT_EQ(result.required, 102);
  // Same text, older patch text, a required-for-patch: none matters for add-ons.
  EXPECT_EQ(CheckVersionGate(false, "1.02", 102, "1.02", 102, 500).outcome,
            VersionGateOutcome::kAccept);
  EXPECT_EQ(CheckVersionGate(false, "1.03", 103, "1.00", 0, 0).outcome,
            VersionGateOutcome::kAccept);
}

}  // namespace
}  // namespace corvane
