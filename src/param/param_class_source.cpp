#include "param/param_class_source.h"

#include "foundation/app_frame.h"
#include "param/param_binary_reader.h"
#include "param/param_class.h"
#include "stream/qi_f_stream.h"

namespace corvane {

RString IParamClassSource::GetFileName() const {
  CORVANE_REPORT_INTERNAL("Not implemented");
  return RString();
}

bool IParamClassSource::LoadClassBody(ParamClass&) {
  CORVANE_REPORT_INTERNAL("Not implemented");
  return false;
}

bool ParamClassOwnerFilename::LoadClassBody(ParamClass& cls) {
  QIFStream in;
  in.open(name_.Data());
  if (in.fail()) {
    ReportError("Error while loading %s", cls.GetContext().Data());
    return false;
  }
  return ParamReloadClassBody(in, cls, this);
}

ParamClassOwnerIndirectNoUnload::ParamClassOwnerIndirectNoUnload(IParamClassSource* inner)
    : inner_(inner) {
  if (inner_) inner_->AddRef();
}

ParamClassOwnerIndirectNoUnload::~ParamClassOwnerIndirectNoUnload() {
  if (inner_) inner_->Release();
}

RString ParamClassOwnerIndirectNoUnload::GetOwnerName() const {
  RString inner = inner_ ? inner_->GetOwnerName() : RString();
  return RString("(") + inner + " - no unload)";
}

void ParamClassOwnerIndirectNoUnload::SetOwnerName(const char*) {
  CORVANE_REPORT_INTERNAL("SetOwnerName should never be used on indirect classes");
}

RString ParamClassOwnerIndirectNoUnload::GetFileName() const {
  return inner_ ? inner_->GetFileName() : RString();
}

bool ParamClassOwnerIndirectNoUnload::LoadClassBody(ParamClass& cls) {
  return inner_ ? inner_->LoadClassBody(cls) : IParamClassSource::LoadClassBody(cls);
}

IParamClassSource* ParamMakeNoUnloadSource(IParamClassSource* source) {
  if (!source || !source->CanUnload()) return source;
  return new ParamClassOwnerIndirectNoUnload(source);
}

}  // namespace corvane
