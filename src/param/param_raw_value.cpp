#include "param/param_raw_value.h"

#include <cmath>
#include <cstdlib>

#include "foundation/app_frame.h"
#include "param/param_entry.h"
#include "param/param_value_conversion.h"

namespace corvane {

// --- text and expression ---

size_t ParamRawTextBody::GetOwnMemory() const {
  return value_.IsNull() ? 0 : static_cast<size_t>(value_.GetLength()) + 1;
}

void ParamRawTextBody::AddToCheckValue(ParamCheckValueSink& sink) const {
  sink.Add(value_.Data(), static_cast<size_t>(value_.GetLength()));
}

// --- text ---

RString ParamRawValue::GetText() const {
  const char* text = value_.Data();
  if (text[0] == '$' && text[1] == 'S' && text[2] == 'T' && text[3] == 'R')
    return ParamLocalize(text);
  return value_.GetRString();
}

float ParamRawValue::GetFloat() const { return ParamTextGetFloat(value_.Data(), file_); }

int ParamRawValue::GetInt() const { return ParamTextGetInt(value_.Data(), file_); }

void ParamRawValue::SetInt(int value) { value_ = BankedString(ParamFormatInt(value).Data()); }

void ParamRawValue::SetFloat(float value) {
  RString text = ParamFormatFloatF(value);
  char* end = nullptr;
  std::strtod(text.Data(), &end);
  // Infinite and not-a-number values print as texts that some runtimes read
  // back and some do not; none of them is a number to keep.
  if (end == text.Data() || *end != '\0' || !std::isfinite(value)) {
    ReportErrorAt("%s(%d) : Setting invalid value %s", __FILE__, __LINE__, text.Data());
    value_ = BankedString("0");
    return;
  }
  value_ = BankedString(text.Data());
}

// --- float and integer ---

template <class Number>
void ParamRawNumberBody<Number>::AddToCheckValue(ParamCheckValueSink& sink) const {
  sink.Add(&value_, sizeof value_);
}

template struct ParamRawNumberBody<float>;
template struct ParamRawNumberBody<int32_t>;

// --- float ---

RString ParamRawValueFloat::GetText() const { return ParamFormatFloatG(value_); }

int ParamRawValueFloat::GetInt() const { return ParamRoundToInt(value_); }

void ParamRawValueFloat::SetText(const char* text) {
  ReportLog("Float value set as string %s", text ? text : "");
  CORVANE_REPORT_INTERNAL("Float value set as string");
}

// --- integer ---

RString ParamRawValueInt::GetText() const { return ParamFormatInt(value_); }

void ParamRawValueInt::SetFloat(float value) { value_ = ParamRoundToInt(value); }

void ParamRawValueInt::SetText(const char* text) {
  ReportWarning("Int value set as string %s", text ? text : "");
  CORVANE_REPORT_INTERNAL("Int set as string");
}

// --- expression ---

float ParamRawValueExpression::GetFloat() const { return ParamEvaluate(value_.Data(), file_); }

int ParamRawValueExpression::GetInt() const {
  return ParamRoundToInt(ParamEvaluate(value_.Data(), file_));
}

void ParamRawValueExpression::SetInt(int value) {
  value_ = BankedString(ParamFormatInt(value).Data());
}

void ParamRawValueExpression::SetFloat(float value) {
  value_ = BankedString(ParamFormatFloatF(value).Data());
}

}  // namespace corvane
