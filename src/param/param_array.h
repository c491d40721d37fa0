#pragma once

#include "foundation/auto_array.h"
#include "foundation/ref_count.h"
#include "param/param_entry.h"
#include "param/param_raw_value.h"

namespace corvane {

// One item of an array: a scalar of one of the four kinds or a nested array.
// Items are shared by reference count; an array holds one reference on each.
class IParamArrayValue : public RefCount {
 public:
  virtual RString GetText() const = 0;  // localized
  virtual RString GetRawText() const = 0;
  virtual float GetFloat() const = 0;
  virtual int GetInt() const = 0;
  virtual void SetInt(int value) = 0;
  virtual void SetFloat(float value) = 0;
  virtual void SetText(const char* value) = 0;
  virtual void SetFile(ParamFile* file) = 0;
  virtual bool IsTextValue() const { return false; }
  virtual bool IsFloatValue() const { return false; }
  virtual bool IsIntValue() const { return false; }
  virtual bool IsExpression() const { return false; }
  virtual bool IsArray() const { return false; }
  virtual size_t GetOwnMemory() const = 0;
  virtual void SaveText(QOStream& out, int indent, const char* eol) const = 0;
  // Writes the item's type byte and data.
  virtual void SerializeBin(SerializeBinStream& stream) const = 0;
  // 0 for a scalar item.
  virtual int GetItemCount() const { return 0; }
  // Scalars report "Value not an array." and answer the shared empty item.
  virtual const IParamArrayValue& GetItem(int index) const;
  virtual void AddToCheckValue(ParamCheckValueSink& sink) const = 0;
  // Edits of a nested array; scalars report "Value not an array.".
  virtual void AddValue(const char* value);
  virtual void AddValue(float value);
  virtual void AddValue(int value);
  virtual ParamArrayValueArray* AddArrayValue();

  bool GetBool() const { return GetInt() != 0; }
};

// The process-wide item with an empty text, answered for indexes out of range.
const IParamArrayValue& ParamEmptyArrayItem();

template <class Raw>
class ParamArrayValueSpec final : public ParamRawHolder<IParamArrayValue, Raw> {
  using Holder = ParamRawHolder<IParamArrayValue, Raw>;

 public:
  ParamArrayValueSpec() = default;
  explicit ParamArrayValueSpec(Raw raw) : Holder(std::move(raw)) {}

  size_t GetOwnMemory() const override { return sizeof(*this) + this->GetRaw().GetOwnMemory(); }
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) const override;
};

using ParamArrayValueText = ParamArrayValueSpec<ParamRawValue>;
using ParamArrayValueFloat = ParamArrayValueSpec<ParamRawValueFloat>;
using ParamArrayValueInt = ParamArrayValueSpec<ParamRawValueInt>;
using ParamArrayValueExpression = ParamArrayValueSpec<ParamRawValueExpression>;

extern template class ParamArrayValueSpec<ParamRawValue>;
extern template class ParamArrayValueSpec<ParamRawValueFloat>;
extern template class ParamArrayValueSpec<ParamRawValueInt>;
extern template class ParamArrayValueSpec<ParamRawValueExpression>;

using ParamArrayItems = AutoArray<Ref<IParamArrayValue>>;

// A nested array item: holds items of the same kinds as an array.
class ParamArrayValueArray final : public IParamArrayValue {
 public:
  RString GetText() const override;
  RString GetRawText() const override;
  float GetFloat() const override;
  int GetInt() const override;
  void SetInt(int value) override;
  void SetFloat(float value) override;
  void SetText(const char* value) override;
  void SetFile(ParamFile* file) override;
  bool IsArray() const override { return true; }
  size_t GetOwnMemory() const override;
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) const override;
  int GetItemCount() const override { return value_.Size(); }
  const IParamArrayValue& GetItem(int index) const override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override;
  void AddValue(const char* value) override;
  void AddValue(float value) override;
  void AddValue(int value) override;
  ParamArrayValueArray* AddArrayValue() override;
  void AddItem(IParamArrayValue* item) { value_.Add(Ref<IParamArrayValue>(item)); }

  const ParamArrayItems& Items() const { return value_; }
  ParamArrayItems& Items() { return value_; }

 private:
  ParamArrayItems value_;
};

// A named array entry.
class ParamArray final : public ParamEntry {
 public:
  explicit ParamArray(BankedString name) : ParamEntry(std::move(name)) {}

  bool IsArray() const override { return true; }
  size_t GetOwnMemory() const override;
  size_t GetChildMemory() const override;
  void SetAccess(int access) override { access_ = access; }
  int GetAccess() const override { return access_; }
  ParamEntry* Clone() const override;
  void SetValue(int index, int value) override;
  void SetValue(int index, float value) override;
  void SetValue(int index, const char* value) override;
  void SetFile(ParamFile* file) override;
  void Clear() override { value_.Clear(); }
  void AddItemText(const char* value) override;
  void AddItemInt(int value) override;
  void AddItemFloat(float value) override;
  ParamArrayValueArray* AddItemArray() override;
  const IParamArrayValue& GetItem(int index) const override;
  int GetSize() const override { return value_.Size(); }
  void DeleteValue(int index) override { value_.Delete(index); }
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
  void Compact() override { value_.Realloc(value_.Size()); }
  void ReserveItems(int count) override { value_.Reserve(count, count); }
  void AddToCheckValue(ParamCheckValueSink& sink) const override;

  // Appends without looking at the access level (loaders and merges).
  void AddItem(IParamArrayValue* item) { value_.Add(Ref<IParamArrayValue>(item)); }
  const ParamArrayItems& Items() const { return value_; }
  ParamArrayItems& Items() { return value_; }

 private:
  bool CanAddItems() const;

  ParamArrayItems value_;
  int access_ = PADefault;
};

}  // namespace corvane
