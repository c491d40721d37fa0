#include "param/param_raw_value.h"

#include <cmath>
#include <cstdlib>

#include "foundation/app_frame.h"
#include "param/param_entry.h"
#include "param/param_value_conversion.h"

namespace corvane {

// --- text and expression ---

size_t ParamRawTextBody::GetOwnMemory() const {
  return _value.IsNull() ? 0 : static_cast<size_t>(_value.GetLength()) + 1;
}

void ParamRawTextBody::AddToCheckValue(ParamCheckValueSink& sink) const {
  sink.Add(_value.Data(), static_cast<size_t>(_value.GetLength()));
}

// --- text ---

RString ParamRawValue::GetText() const {
  const char* text = _value.Data();
  if (text[0] == '$' && text[1] == 'S' && text[2] == 'T' && text[3] == 'R')
    return ParamLocalize(text);
  return _value.GetRString();
}

float ParamRawValue::GetFloat() const { return ParamTextGetFloat(_value.Data(), _file); }

int ParamRawValue::GetInt() const { return ParamTextGetInt(_value.Data(), _file); }

void ParamRawValue::SetInt(int value) { _value = BankedString(ParamFormatInt(value).Data()); }

void ParamRawValue::SetFloat(float value) {
  RString text = ParamFormatFloatF(value);
  char* end = nullptr;
  std::strtod(text.Data(), &end);
  // Infinite and not-a-number values print as texts that some runtimes read
  // back and some do not; none of them is a number to keep.
  if (end == text.Data() || *end != '\0' || !std::isfinite(value)) {
    ReportErrorAt("%s(%d) : Setting invalid value %s", __FILE__, __LINE__, text.Data());
    _value = BankedString("0");
    return;
  }
  _value = BankedString(text.Data());
}

// --- float and integer ---

template <class Number>
void ParamRawNumberBody<Number>::AddToCheckValue(ParamCheckValueSink& sink) const {
  sink.Add(&_value, sizeof _value);
}

template struct ParamRawNumberBody<float>;
template struct ParamRawNumberBody<int32_t>;

// --- float ---

RString ParamRawValueFloat::GetText() const { return ParamFormatFloatG(_value); }

int ParamRawValueFloat::GetInt() const { return ParamRoundToInt(_value); }

void ParamRawValueFloat::SetText(const char* text) {
  ReportLog("Float value set as string %s", text ? text : "");
  CORVANE_REPORT_INTERNAL("Float value set as string");
}

// --- integer ---

RString ParamRawValueInt::GetText() const { return ParamFormatInt(_value); }

void ParamRawValueInt::SetFloat(float value) { _value = ParamRoundToInt(value); }

void ParamRawValueInt::SetText(const char* text) {
  ReportWarning("Int value set as string %s", text ? text : "");
  CORVANE_REPORT_INTERNAL("Int set as string");
}

// --- expression ---

float ParamRawValueExpression::GetFloat() const { return ParamEvaluate(_value.Data(), _file); }

int ParamRawValueExpression::GetInt() const {
  return ParamRoundToInt(ParamEvaluate(_value.Data(), _file));
}

void ParamRawValueExpression::SetInt(int value) {
  _value = BankedString(ParamFormatInt(value).Data());
}

void ParamRawValueExpression::SetFloat(float value) {
  _value = BankedString(ParamFormatFloatF(value).Data());
}

}  // namespace corvane
