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
class ParamArrayValueSpec final : public IParamArrayValue {
 public:
  ParamArrayValueSpec() = default;
  explicit ParamArrayValueSpec(Raw raw) : _raw(std::move(raw)) {}

  RString GetText() const override { return _raw.GetText(); }
  RString GetRawText() const override { return _raw.GetRawText(); }
  float GetFloat() const override { return _raw.GetFloat(); }
  int GetInt() const override { return _raw.GetInt(); }
  void SetInt(int value) override { _raw.SetInt(value); }
  void SetFloat(float value) override { _raw.SetFloat(value); }
  void SetText(const char* value) override { _raw.SetText(value); }
  void SetFile(ParamFile* file) override { _raw.SetFile(file); }
  bool IsTextValue() const override { return Raw::kText; }
  bool IsFloatValue() const override { return Raw::kFloat; }
  bool IsIntValue() const override { return Raw::kInt; }
  bool IsExpression() const override { return Raw::kExpression; }
  size_t GetOwnMemory() const override { return sizeof(*this) + _raw.GetOwnMemory(); }
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) const override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override { _raw.AddToCheckValue(sink); }

  const Raw& GetRaw() const { return _raw; }
  Raw& GetRaw() { return _raw; }

 private:
  Raw _raw;
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
  int GetItemCount() const override { return _value.Size(); }
  const IParamArrayValue& GetItem(int index) const override;
  void AddToCheckValue(ParamCheckValueSink& sink) const override;
  void AddValue(const char* value) override;
  void AddValue(float value) override;
  void AddValue(int value) override;
  ParamArrayValueArray* AddArrayValue() override;
  void AddItem(IParamArrayValue* item) { _value.Add(Ref<IParamArrayValue>(item)); }

  const ParamArrayItems& Items() const { return _value; }
  ParamArrayItems& Items() { return _value; }

 private:
  ParamArrayItems _value;
};

// A named array entry.
class ParamArray final : public ParamEntry {
 public:
  explicit ParamArray(BankedString name) : ParamEntry(std::move(name)) {}

  bool IsArray() const override { return true; }
  size_t GetOwnMemory() const override;
  size_t GetChildMemory() const override;
  void SetAccess(int access) override { _access = access; }
  int GetAccess() const override { return _access; }
  ParamEntry* Clone() const override;
  void SetValue(int index, int value) override;
  void SetValue(int index, float value) override;
  void SetValue(int index, const char* value) override;
  void SetFile(ParamFile* file) override;
  void Clear() override { _value.Clear(); }
  void AddItemText(const char* value) override;
  void AddItemInt(int value) override;
  void AddItemFloat(float value) override;
  ParamArrayValueArray* AddItemArray() override;
  const IParamArrayValue& GetItem(int index) const override;
  int GetSize() const override { return _value.Size(); }
  void DeleteValue(int index) override { _value.Delete(index); }
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  void SerializeBin(SerializeBinStream& stream) override;
  void Compact() override { _value.Realloc(_value.Size()); }
  void ReserveItems(int count) override { _value.Reserve(count, count); }
  void AddToCheckValue(ParamCheckValueSink& sink) const override;

  // Appends without looking at the access level (loaders and merges).
  void AddItem(IParamArrayValue* item) { _value.Add(Ref<IParamArrayValue>(item)); }
  const ParamArrayItems& Items() const { return _value; }
  ParamArrayItems& Items() { return _value; }

 private:
  bool CanAddItems() const;

  ParamArrayItems _value;
  int _access = PADefault;
};

}  // namespace corvane
