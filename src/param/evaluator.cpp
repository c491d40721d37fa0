#include "param/evaluator.h"

#include "foundation/replaceable_functions.h"
#include "stream/serialize_bin_stream.h"

namespace corvane {

namespace {
EvaluatorFunctions g_defaultEvaluatorFunctions;
EvaluatorFunctions* g_evaluatorFunctions = &g_defaultEvaluatorFunctions;
}  // namespace

void Evaluator::LoadEnums(SerializeBinStream& stream) {
  int32_t count = 0;
  stream.TransferInt(count);
}

void Evaluator::SaveEnums(SerializeBinStream& stream) {
  int32_t count = 0;
  stream.TransferInt(count);
}

Evaluator* EvaluatorFunctions::CreateEvaluator(int) { return new Evaluator; }

EvaluatorFunctions* GetEvaluatorFunctions() { return g_evaluatorFunctions; }

EvaluatorFunctions* SetEvaluatorFunctions(EvaluatorFunctions* functions) {
  return ReplaceFunctions(g_evaluatorFunctions, g_defaultEvaluatorFunctions, functions);
}

}  // namespace corvane
