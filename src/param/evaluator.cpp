#include "param/evaluator.h"

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
  EvaluatorFunctions* previous = g_evaluatorFunctions;
  g_evaluatorFunctions = functions ? functions : &g_defaultEvaluatorFunctions;
  return previous;
}

}  // namespace corvane
