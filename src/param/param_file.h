#pragma once

#include <memory>

#include "param/evaluator.h"
#include "param/param_class.h"
#include "param/param_free_on_demand.h"

namespace corvane {

class QIStream;

// Result codes of loading a named binary file (besides the stream error
// codes of SerializeBinStream, which a failed load answers).
inline constexpr int kParamLoadOk = 0;
inline constexpr int kParamLoadNoFile = 5;

// The root class of one configuration. Owns the tree, the evaluator of its
// expressions and the list of classes that may be unloaded.
class ParamFile : public ParamClass, public MemoryFreeOnDemandHelper {
 public:
  ParamFile();
  ~ParamFile() override;

  // Empties the whole tree (the evaluator stays).
  void Clear() override;
  void Delete(const char* name) override;
  // The entries at `indent`, without a frame.
  void SaveText(QOStream& out, int indent, const char* eol) const override;
  ParamFile* GetFile() override { return this; }
  const ParamFile* GetFile() const override { return this; }

  // --- binary form ---

  // Clears the tree and loads it from `in`. True when the load ended without
  // a stream error; otherwise the tree holds what could be read (and the
  // reasons were reported).
  bool LoadBin(QIStream& in, IParamClassSource* source = nullptr, int evaluator_argument = 0);
  // The same from a named file, whose name becomes the root's name.
  // kParamLoadOk, kParamLoadNoFile (nothing read) or the stream error code.
  // With `defer_classes` set and a source that can unload, class bodies are
  // left as placeholders and read when first reached.
  int LoadBin(const char* file_name, IParamClassSource* source = nullptr,
              int evaluator_argument = 0, bool defer_classes = false);
  // Always writes version 8. True when no stream error occurred.
  bool SaveBin(QOStream& out);
  bool SaveBin(const char* file_name);

  // The file's evaluator, created through EvaluatorFunctions when missing.
  Evaluator* GetEvaluator();
  bool HasEvaluator() const { return evaluator_ != nullptr; }
  // Replaces the evaluator with a new one from the factory.
  void CreateEvaluator(int argument);
  void SetEvaluator(Evaluator* evaluator) { evaluator_.reset(evaluator); }

  // Turns `entry` (an unlocked class of this tree whose source can unload)
  // back into a placeholder. False when it could not be unloaded.
  bool Unload(ParamEntry& entry);

 protected:
  size_t UnloadClass(ParamClass* cls) override;

 private:
  std::unique_ptr<Evaluator> evaluator_;
};

}  // namespace corvane
