#pragma once

#include "param/param_entry.h"
#include "param/param_raw_value.h"

namespace corvane {

// A named leaf entry holding one value of the kind given by Raw.
template <class Raw>
class ParamValueSpec final : public ParamRawHolder<ParamEntry, Raw> {
  using Holder = ParamRawHolder<ParamEntry, Raw>;

 public:
  explicit ParamValueSpec(BankedString name) : Holder(Raw(), std::move(name)) {}
  ParamValueSpec(BankedString name, Raw raw) : Holder(std::move(raw), std::move(name)) {}

  size_t GetOwnMemory() const override { return sizeof(*this) + this->GetRaw().GetOwnMemory(); }
  ParamEntry* Clone() const override {
    return new ParamValueSpec(this->GetBankedName(), this->GetRaw());
  }

  bool GetBool() const override { return this->GetRaw().GetInt() != 0; }
  int GetIntAlt() const override { return this->GetRaw().GetInt(); }
  RString GetTextAlt() const override { return this->GetRaw().GetText(); }

  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
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
