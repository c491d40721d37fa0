#pragma once

#include "param/param_entry.h"
#include "param/param_raw_value.h"

namespace corvane {

// A named leaf entry holding one value of the kind given by Raw.
template <class Raw>
class ParamValueSpec final : public ParamEntry {
 public:
  explicit ParamValueSpec(BankedString name) : ParamEntry(std::move(name)) {}
  ParamValueSpec(BankedString name, Raw raw) : ParamEntry(std::move(name)), raw_(std::move(raw)) {}

  bool IsTextValue() const override { return Raw::kText; }
  bool IsFloatValue() const override { return Raw::kFloat; }
  bool IsIntValue() const override { return Raw::kInt; }
  bool IsExpression() const override { return Raw::kExpression; }

  size_t GetOwnMemory() const override { return sizeof(*this) + raw_.GetOwnMemory(); }
  ParamEntry* Clone() const override { return new ParamValueSpec(name_, raw_); }

  RString GetText() const override { return raw_.GetText(); }
  float GetFloat() const override { return raw_.GetFloat(); }
  int GetInt() const override { return raw_.GetInt(); }
  bool GetBool() const override { return raw_.GetInt() != 0; }
  int GetIntAlt() const override { return raw_.GetInt(); }
  RString GetRawText() const override { return raw_.GetRawText(); }
  RString GetTextAlt() const override { return raw_.GetText(); }

  void SetInt(int value) override { raw_.SetInt(value); }
  void SetFloat(float value) override { raw_.SetFloat(value); }
  void SetText(const char* value) override { raw_.SetText(value); }
  void SetFile(ParamFile* file) override { raw_.SetFile(file); }

  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override { raw_.AddToCheckValue(sink); }

  const Raw& GetRaw() const { return raw_; }
  Raw& GetRaw() { return raw_; }

 private:
  Raw raw_;
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
