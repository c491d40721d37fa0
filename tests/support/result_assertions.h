#pragma once

// Lets a test assert on a Result and see its message when it fails:
//   ASSERT_TRUE(Succeeded(WriteResourceDll(items, &image)));
//   EXPECT_NE(FailureOf(MakePatch(options, &summary)).find("no stub"), std::string::npos);

#include <gtest/gtest.h>

#include <string>

#include "base/result.h"

// In the namespace of Result, so that a call finds it from any test namespace.
namespace corvane {

inline ::testing::AssertionResult Succeeded(const Result& result) {
  if (result.ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << result.message();
}

// The message of a result that must be a failure (an empty text, and a test
// failure, when it succeeded): `error = FailureOf(MakePatch(options, &summary));`.
inline std::string FailureOf(const Result& result) {
  EXPECT_FALSE(result.ok()) << "succeeded where a failure was expected";
  return result.message();
}

}  // namespace corvane
