#pragma once

#include "foundation/r_string.h"

namespace corvane {

class SerializeBinStream;

// Evaluates the expressions of one configuration file. The library ships a
// default that knows no expression language (every number is 0, texts stay as
// they are); a program replaces the factory to bring its own. One instance
// per ParamFile, owned and destroyed by the file.
class Evaluator {
 public:
  Evaluator() = default;
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;
  virtual ~Evaluator() = default;

  virtual void BeginParsing() {}
  virtual void EndParsing() {}
  // The enum table that follows the root body of a binary file: the default
  // reads one signed 32-bit count and nothing more.
  virtual void LoadEnums(SerializeBinStream& stream);
  // Writes a count of 0.
  virtual void SaveEnums(SerializeBinStream& stream);
  virtual void Reset() {}
  // A text or expression value read as a number.
  virtual float EvaluateFloat(const char*) { return 0; }
  // The value of an enum item.
  virtual float EvaluateEnumValue(const char*) { return 0; }
  // "__EVAL": the text unchanged (null for a null text).
  virtual RString EvaluateText(const char* text) { return RString(text); }
  // "__EXEC".
  virtual void Execute(const char*) {}
  // Enum items become variables.
  virtual void DefineVariable(const char*, float, bool, bool) {}
};

// Process-wide factory of evaluators.
class EvaluatorFunctions {
 public:
  EvaluatorFunctions() = default;
  EvaluatorFunctions(const EvaluatorFunctions&) = delete;
  EvaluatorFunctions& operator=(const EvaluatorFunctions&) = delete;
  virtual ~EvaluatorFunctions() = default;

  // A new evaluator owned by the caller; `argument` comes through from the
  // caller of the load or parse.
  virtual Evaluator* CreateEvaluator(int argument);
};

// Never null; starts at a static default instance.
EvaluatorFunctions* GetEvaluatorFunctions();
// Installs `functions` (null restores the default); answers the previous one.
EvaluatorFunctions* SetEvaluatorFunctions(EvaluatorFunctions* functions);

}  // namespace corvane
