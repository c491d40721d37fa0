#pragma once

#include "param/param_entry.h"
#include "param/param_raw_value.h"

namespace corvane {

// A named leaf entry holding one value of the kind given by Raw.
template <class Raw>
class ParamValueSpec final : public ParamEntry {
 public:
  explicit ParamValueSpec(BankedString name) : ParamEntry(std::move(name)) {}
  ParamValueSpec(BankedString name, Raw raw) : ParamEntry(std::move(name)), _raw(std::move(raw)) {}

  bool IsTextValue() const override { return Raw::kText; }
  bool IsFloatValue() const override { return Raw::kFloat; }
  bool IsIntValue() const override { return Raw::kInt; }
  bool IsExpression() const override { return Raw::kExpression; }

  size_t GetOwnMemory() const override { return sizeof(*this) + _raw.GetOwnMemory(); }
  ParamEntry* Clone() const override { return new ParamValueSpec(_name, _raw); }

  RString GetText() const override { return _raw.GetText(); }
  float GetFloat() const override { return _raw.GetFloat(); }
  int GetInt() const override { return _raw.GetInt(); }
  bool GetBool() const override { return _raw.GetInt() != 0; }
  int GetIntAlt() const override { return _raw.GetInt(); }
  RString GetRawText() const override { return _raw.GetRawText(); }
  RString GetTextAlt() const override { return _raw.GetText(); }

  void SetInt(int value) override { _raw.SetInt(value); }
  void SetFloat(float value) override { _raw.SetFloat(value); }
  void SetText(const char* value) override { _raw.SetText(value); }
  void SetFile(ParamFile* file) override { _raw.SetFile(file); }

  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override { _raw.AddToCheckValue(sink); }

  const Raw& GetRaw() const { return _raw; }
  Raw& GetRaw() { return _raw; }

 private:
  Raw _raw;
};

using ParamValueText = ParamValueSpec<ParamRawValue>;
using ParamValueFloat = ParamValueSpec<ParamRawValueFloat>;
using ParamValueInt = ParamValueSpec<ParamRawValueInt>;
using ParamValueExpression = ParamValueSpec<ParamRawValueExpression>;

extern template class ParamValueSpec<ParamRawValue>;
extern template class ParamValueSpec<ParamRawValueFloat>;
extern template class ParamValueSpec<ParamRawValueInt>;
extern template class ParamValueSpec<ParamRawValueExpression>;

}  // namespace corvane
