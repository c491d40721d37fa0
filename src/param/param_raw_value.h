#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "foundation/banked_string.h"
#include "foundation/r_string.h"

namespace corvane {

class ParamCheckValueSink;
class ParamFile;
class QOStream;
class SerializeBinStream;
struct ParamFileContext;

// The four kinds of scalar value. Value entries (ParamValueSpec) and array
// items (ParamArrayValueSpec) hold one of these and forward to it, so a value
// converts, prints and serializes the same way wherever it stands.
//
// The binary type numbers are those of the value and array item records.

// What the text and expression kinds share: the text itself, held in the
// string bank, and the file that evaluates it.
struct ParamRawTextBody {
  ParamRawTextBody() = default;
  explicit ParamRawTextBody(const char* text) : value_(text) {}
  explicit ParamRawTextBody(BankedString text) : value_(std::move(text)) {}

  RString GetRawText() const { return value_.GetRString(); }
  void SetText(const char* text) { value_ = BankedString(text); }
  void SetFile(ParamFile* file) { file_ = file; }
  size_t GetOwnMemory() const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
  void AddToCheckValue(ParamCheckValueSink& sink) const;

  BankedString value_;
  ParamFile* file_ = nullptr;  // not owned
};

// Text; read as a number by the conversion rules, evaluated through the
// owning file when it is no number.
struct ParamRawValue : ParamRawTextBody {
  static constexpr int kBinaryType = 0;
  static constexpr bool kText = true, kFloat = false, kInt = false, kExpression = false;

  using ParamRawTextBody::ParamRawTextBody;
  ParamRawValue() = default;

  RString GetText() const;
  float GetFloat() const;
  int GetInt() const;
  void SetInt(int value);
  void SetFloat(float value);
  void SaveText(QOStream& out) const;
};

// What the float and integer kinds share: the number itself, which needs no
// file and owns no memory.
template <class Number>
struct ParamRawNumberBody {
  ParamRawNumberBody() = default;
  explicit ParamRawNumberBody(Number value) : value_(value) {}

  void SetFile(ParamFile*) {}
  size_t GetOwnMemory() const { return 0; }
  void AddToCheckValue(ParamCheckValueSink& sink) const;

  Number value_ = 0;
};

extern template struct ParamRawNumberBody<float>;
extern template struct ParamRawNumberBody<int32_t>;

// 32-bit IEEE single.
struct ParamRawValueFloat : ParamRawNumberBody<float> {
  static constexpr int kBinaryType = 1;
  static constexpr bool kText = false, kFloat = true, kInt = false, kExpression = false;

  using ParamRawNumberBody::ParamRawNumberBody;
  ParamRawValueFloat() = default;

  RString GetText() const;
  RString GetRawText() const { return GetText(); }
  float GetFloat() const { return value_; }
  int GetInt() const;
  void SetInt(int value) { value_ = static_cast<float>(value); }
  void SetFloat(float value) { value_ = value; }
  void SetText(const char* text);
  void SaveText(QOStream& out) const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
};

// Signed 32-bit integer.
struct ParamRawValueInt : ParamRawNumberBody<int32_t> {
  static constexpr int kBinaryType = 2;
  static constexpr bool kText = false, kFloat = false, kInt = true, kExpression = false;

  using ParamRawNumberBody::ParamRawNumberBody;
  ParamRawValueInt() = default;

  RString GetText() const;
  RString GetRawText() const { return GetText(); }
  float GetFloat() const { return static_cast<float>(value_); }
  int GetInt() const { return value_; }
  void SetInt(int value) { value_ = value; }
  void SetFloat(float value);
  void SetText(const char* text);
  void SaveText(QOStream& out) const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
};

// Expression text, evaluated by the owning file's evaluator when read as a
// number; reads as its own text.
struct ParamRawValueExpression : ParamRawTextBody {
  static constexpr int kBinaryType = 4;
  static constexpr bool kText = false, kFloat = false, kInt = false, kExpression = true;

  using ParamRawTextBody::ParamRawTextBody;
  ParamRawValueExpression() = default;

  RString GetText() const { return value_.GetRString(); }
  float GetFloat() const;
  int GetInt() const;
  void SetInt(int value);
  void SetFloat(float value);
  void SaveText(QOStream& out) const;
};

// What a value entry and an array item share: each holds one raw value and
// answers through it. `Base` is ParamEntry or IParamArrayValue, which both
// declare these calls.
template <class Base, class Raw>
class ParamRawHolder : public Base {
 public:
  bool IsTextValue() const override { return Raw::kText; }
  bool IsFloatValue() const override { return Raw::kFloat; }
  bool IsIntValue() const override { return Raw::kInt; }
  bool IsExpression() const override { return Raw::kExpression; }

  RString GetText() const override { return raw_.GetText(); }
  RString GetRawText() const override { return raw_.GetRawText(); }
  float GetFloat() const override { return raw_.GetFloat(); }
  int GetInt() const override { return raw_.GetInt(); }
  void SetInt(int value) override { raw_.SetInt(value); }
  void SetFloat(float value) override { raw_.SetFloat(value); }
  void SetText(const char* value) override { raw_.SetText(value); }
  void SetFile(ParamFile* file) override { raw_.SetFile(file); }
  void AddToCheckValue(ParamCheckValueSink& sink) const override { raw_.AddToCheckValue(sink); }

  const Raw& GetRaw() const { return raw_; }
  Raw& GetRaw() { return raw_; }

 protected:
  ParamRawHolder() = default;
  // `base_args` go to the constructor of Base.
  template <class... BaseArgs>
  explicit ParamRawHolder(Raw raw, BaseArgs&&... base_args)
      : Base(std::forward<BaseArgs>(base_args)...), raw_(std::move(raw)) {}

 private:
  Raw raw_;
};

}  // namespace corvane
