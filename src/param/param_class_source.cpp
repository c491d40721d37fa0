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
  in.open(_name.Data());
  if (in.fail()) {
    ReportError("Error while loading %s", cls.GetContext().Data());
    return false;
  }
  return ParamReloadClassBody(in, cls, this);
}

ParamClassOwnerIndirectNoUnload::ParamClassOwnerIndirectNoUnload(IParamClassSource* inner)
    : _inner(inner) {
  if (_inner) _inner->AddRef();
}

ParamClassOwnerIndirectNoUnload::~ParamClassOwnerIndirectNoUnload() {
  if (_inner) _inner->Release();
}

RString ParamClassOwnerIndirectNoUnload::GetOwnerName() const {
  RString inner = _inner ? _inner->GetOwnerName() : RString();
  return RString("(") + inner + " - no unload)";
}

void ParamClassOwnerIndirectNoUnload::SetOwnerName(const char*) {
  CORVANE_REPORT_INTERNAL("SetOwnerName should never be used on indirect classes");
}

RString ParamClassOwnerIndirectNoUnload::GetFileName() const {
  return _inner ? _inner->GetFileName() : RString();
}

bool ParamClassOwnerIndirectNoUnload::LoadClassBody(ParamClass& cls) {
  return _inner ? _inner->LoadClassBody(cls) : IParamClassSource::LoadClassBody(cls);
}

IParamClassSource* ParamMakeNoUnloadSource(IParamClassSource* source) {
  if (!source || !source->CanUnload()) return source;
  return new ParamClassOwnerIndirectNoUnload(source);
}

}  // namespace corvane
