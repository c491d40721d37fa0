#include "param/param_file.h"

#include "foundation/app_frame.h"
#include "param/param_class_kinds.h"

namespace corvane {

ParamFile::ParamFile() : ParamClass("") {}

ParamFile::~ParamFile() {
  // The tree goes while this is still a ParamFile, so that classes can find
  // their file's list on the way out.
  EmptyList();
  ClearEntries();
  SetBase(nullptr);
}

void ParamFile::Clear() {
  EmptyList();
  ClearEntries();
  SetBase(nullptr);
  SetAccess(PADefault);
  SetSource(nullptr, false);
  SetSourceOffset(-1);
  SetSourceSize(0);
}

void ParamFile::Delete(const char* name) { ParamClass::Delete(name); }

Evaluator* ParamFile::GetEvaluator() {
  if (!evaluator_) CreateEvaluator(0);
  return evaluator_.get();
}

void ParamFile::CreateEvaluator(int argument) {
  evaluator_.reset(GetEvaluatorFunctions()->CreateEvaluator(argument));
}

bool ParamFile::Unload(ParamEntry& entry) {
  ParamClass* cls = entry.AsClass();
  if (!cls) {
    CORVANE_REPORT_INTERNAL("Cannot unload non-class");
    return false;
  }
  return UnloadClass(cls) > 0;
}

size_t ParamFile::UnloadClass(ParamClass* cls) {
  if (cls->GetLockCount() > 0) {
    ReportLog("Error: Cannot unload %s", cls->GetContext().Data());
    CORVANE_REPORT_INTERNAL("Bug - need to link parents and bases again");
    return 0;
  }
  if (!cls->CanUnload() || cls->FindFile() != this) return 0;
  ParamClass* parent = cls->GetParentPtr();
  int index = parent->IndexOfEntry(cls);
  if (index < 0) return 0;
  size_t held = cls->GetOwnMemory() + cls->GetChildMemory();
  auto* placeholder = new ParamClassPlaceholder(cls->GetBankedName(), cls->GetSource(),
                                                cls->GetSourceOffset(), cls->GetSourceSize());
  RemoveFromList(cls);
  parent->ReplaceEntryAt(index, placeholder);
  return held > placeholder->GetOwnMemory() ? held - placeholder->GetOwnMemory() : 1;
}

}  // namespace corvane
