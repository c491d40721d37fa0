#include "param/param_value_conversion.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/app_frame.h"
#include "param/evaluator.h"
#include "param/localize_string.h"
#include "param/param_file.h"

namespace corvane {

namespace {

// strtol as a 32-bit long reads it, so both builds agree on overflow.
bool WholeDecimalInt(const char* text, int& value) {
  if (!*text) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0') return false;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  value = static_cast<int>(v);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool WholeHexInt(const char* text, int& value) {
  if (text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || !text[2]) return false;
  uint32_t v = 0;
  for (const char* p = text + 2; *p; ++p) {
    int d = HexDigit(*p);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  value = static_cast<int>(v);
  return true;
}

}  // namespace

bool ParamTextToInt(const char* text, int& value) {
  if (!text) return false;
  return WholeDecimalInt(text, value) || WholeHexInt(text, value);
}

bool ParamTextToFloat(const char* text, float& value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end != text && *end == '\0') {
    value = static_cast<float>(v);
    return true;
  }
  if (text[0] == 'd' && text[1] == 'b') {
    double x = std::strtod(text + 2, &end);
    if (*end) ReportLog("invalid db value %s", text);
    value = static_cast<float>(std::pow(10.0, x * 0.05));
    return true;
  }
  return false;
}

float ParamEvaluate(const char* text, ParamFile* file) {
  if (!file) {
    ReportWarning("Cannot evaluate '%s' - no file", text ? text : "");
    return 0;
  }
  return file->GetEvaluator()->EvaluateFloat(text ? text : "");
}

float ParamTextGetFloat(const char* text, ParamFile* file) {
  float f;
  if (ParamTextToFloat(text, f)) return f;
  int i;
  if (ParamTextToInt(text, i)) return static_cast<float>(i);
  return ParamEvaluate(text, file);
}

int ParamTextGetInt(const char* text, ParamFile* file) {
  int i;
  if (ParamTextToInt(text, i)) return i;
  float f;
  if (ParamTextToFloat(text, f)) {
    ReportLog("Warning: rounding float value %g", f);
    return ParamRoundToInt(f);
  }
  return ParamRoundToInt(ParamEvaluate(text, file));
}

int ParamRoundToInt(double value) {
  if (std::isnan(value)) return 0;
  double r = std::floor(value + 0.5);
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int>(r);
}

RString ParamFormatFloatG(float value) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
  return RString(buffer);
}

RString ParamFormatFloatF(float value) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  return RString(buffer);
}

RString ParamFormatInt(int value) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, "%d", value);
  return RString(buffer);
}

RString ParamLocalize(const char* text) {
  if (text && std::strncmp(text, "$STR", 4) == 0) {
    return GetLocalizeStringFunctions()->LocalizeString(text + 1);
  }
  return RString(text);
}

}  // namespace corvane
