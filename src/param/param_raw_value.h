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
  explicit ParamRawTextBody(const char* text) : _value(text) {}
  explicit ParamRawTextBody(BankedString text) : _value(std::move(text)) {}

  RString GetRawText() const { return _value.GetRString(); }
  void SetText(const char* text) { _value = BankedString(text); }
  void SetFile(ParamFile* file) { _file = file; }
  size_t GetOwnMemory() const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
  void AddToCheckValue(ParamCheckValueSink& sink) const;

  BankedString _value;
  ParamFile* _file = nullptr;  // not owned
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

// 32-bit IEEE single.
struct ParamRawValueFloat {
  static constexpr int kBinaryType = 1;
  static constexpr bool kText = false, kFloat = true, kInt = false, kExpression = false;

  ParamRawValueFloat() = default;
  explicit ParamRawValueFloat(float value) : _value(value) {}

  RString GetText() const;
  RString GetRawText() const { return GetText(); }
  float GetFloat() const { return _value; }
  int GetInt() const;
  void SetInt(int value) { _value = static_cast<float>(value); }
  void SetFloat(float value) { _value = value; }
  void SetText(const char* text);
  void SetFile(ParamFile*) {}
  size_t GetOwnMemory() const { return 0; }
  void SaveText(QOStream& out) const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
  void AddToCheckValue(ParamCheckValueSink& sink) const;

  float _value = 0;
};

// Signed 32-bit integer.
struct ParamRawValueInt {
  static constexpr int kBinaryType = 2;
  static constexpr bool kText = false, kFloat = false, kInt = true, kExpression = false;

  ParamRawValueInt() = default;
  explicit ParamRawValueInt(int value) : _value(value) {}

  RString GetText() const;
  RString GetRawText() const { return GetText(); }
  float GetFloat() const { return static_cast<float>(_value); }
  int GetInt() const { return _value; }
  void SetInt(int value) { _value = value; }
  void SetFloat(float value);
  void SetText(const char* text);
  void SetFile(ParamFile*) {}
  size_t GetOwnMemory() const { return 0; }
  void SaveText(QOStream& out) const;
  void WriteBin(SerializeBinStream& stream) const;
  void ReadBin(SerializeBinStream& stream);
  void AddToCheckValue(ParamCheckValueSink& sink) const;

  int32_t _value = 0;
};

// Expression text, evaluated by the owning file's evaluator when read as a
// number; reads as its own text.
struct ParamRawValueExpression : ParamRawTextBody {
  static constexpr int kBinaryType = 4;
  static constexpr bool kText = false, kFloat = false, kInt = false, kExpression = true;

  using ParamRawTextBody::ParamRawTextBody;
  ParamRawValueExpression() = default;

  RString GetText() const { return _value.GetRString(); }
  float GetFloat() const;
  int GetInt() const;
  void SetInt(int value);
  void SetFloat(float value);
  void SaveText(QOStream& out) const;
};

}  // namespace corvane
