#include "run/version_detection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/r_string.h"
#include "platform/file_version.h"

namespace corvane {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// strtoul in base 10 with a 32-bit unsigned long, the runtime the product
// ships with: the same texts give the same numbers on every build. *end is
// left at `text` when there are no digits, as strtoul leaves it.
uint32_t ReadUnsigned32(const char* text, const char** end) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') {
    *end = text;
    return 0;
  }
  uint64_t value = 0;
  bool overflow = false;
  while (*p >= '0' && *p <= '9') {
    if (!overflow) {
      value = value * 10 + static_cast<uint64_t>(*p - '0');
      if (value > UINT32_MAX) overflow = true;
    }
    ++p;
  }
  *end = p;
  if (overflow) return UINT32_MAX;
  uint32_t result = static_cast<uint32_t>(value);
  return negative ? 0u - result : result;
}

}  // namespace

size_t ReadFileVersion(const char* path, char (&out)[kVersionTextSize]) {
  std::string text = platform::QueryFileVersion(path);
  // The field holds 255 characters; a longer text is cut, never overrun.
  size_t length = std::min(text.size(), kVersionTextSize - 1);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return std::strlen(out);
}

int32_t ParseVersion(const char* text) {
  if (text == nullptr) return 0;
  const char* end = text;
  uint32_t major = ReadUnsigned32(text, &end);
  uint32_t minor = 0;
  if (*end == '.') minor = ReadUnsigned32(end + 1, &end);
  return static_cast<int32_t>(major * 100u + minor);
}

VersionGateResult CheckVersionGate(bool is_patch, const char* installed_text, int32_t installed,
                                   const char* patch_text, int32_t required_for_addons,
                                   int32_t required_for_patch) {
  VersionGateResult result;
  if (!is_patch) {
    if (required_for_addons > installed) {
      result.outcome = VersionGateOutcome::kTooOld;
      result.required = required_for_addons;
    }
    return result;
  }
  if (required_for_patch > 0 && required_for_patch > installed) {
    result.outcome = VersionGateOutcome::kTooOld;
    result.required = required_for_patch;
    return result;
  }
  if (CompareNoCase(patch_text, installed_text) == 0) {
    result.outcome = VersionGateOutcome::kAlreadyAtVersion;
  } else if (CompareText(patch_text, installed_text) < 0) {
    result.outcome = VersionGateOutcome::kMoreRecent;
  }
  return result;
}

}  // namespace corvane
