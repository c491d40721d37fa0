#include "param/param_class_kinds.h"

#include "foundation/app_frame.h"

namespace corvane {

namespace {

void ReportUndefined(const ParamClass& cls) {
  ReportErrorLevel(3, "class '%s' is not defined", cls.GetContext().Data());
}

void ReportUndefinedAccess(const ParamClass& cls, const char* name) {
  ReportErrorLevel(3, "class '%s' is not defined ('%s' accessed)", cls.GetContext().Data(),
                   name ? name : "");
}

}  // namespace

int ParamClassDecl::GetEntryCount() const {
  ReportUndefined(*this);
  return 0;
}
EntryHandle ParamClassDecl::GetEntry(int) const {
  ReportUndefined(*this);
  return ParamErrorHandle();
}
EntryHandle ParamClassDecl::GetEntryByName(const char* name) const {
  ReportUndefinedAccess(*this, name);
  return ParamErrorHandle();
}

int ParamClassDelete::GetEntryCount() const {
  ReportUndefined(*this);
  return 0;
}
EntryHandle ParamClassDelete::GetEntry(int) const {
  ReportUndefined(*this);
  return ParamErrorHandle();
}
EntryHandle ParamClassDelete::GetEntryByName(const char* name) const {
  ReportUndefinedAccess(*this, name);
  return ParamErrorHandle();
}

void ParamClassPlaceholder::SetSource(IParamClassSource* source, bool) { source_ = source; }

ParamClass* ParamClassPlaceholder::GetClass() {
  ReportLog("Getting class from %s", GetContext().Data());
  CORVANE_REPORT_INTERNAL("Cannot get interface of unloaded class");
  return nullptr;
}

int ParamClassPlaceholder::GetEntryCount() const {
  CORVANE_REPORT_INTERNAL("Not implemented");
  return ParamEntry::GetEntryCount();
}

void ParamClassPlaceholder::SerializeBin(SerializeBinStream&) {
  CORVANE_REPORT_INTERNAL("Not implemented");
}

void ParamClassPlaceholder::AddToCheckValue(ParamCheckValueSink&) const {
  CORVANE_REPORT_INTERNAL("Not implemented");
}

ParamEntryError& GetParamEntryError() {
  // Never destroyed: handles to it may outlive every static destructor.
  static ParamEntryError* error = new ParamEntryError;
  return *error;
}

EntryHandle ParamErrorHandle() {
  ParamEntryError& error = GetParamEntryError();
  return EntryHandle(&error, &error);
}

}  // namespace corvane
