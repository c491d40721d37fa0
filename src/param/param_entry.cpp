#include "param/param_entry.h"

#include <string>

#include "foundation/app_frame.h"
#include "param/param_array.h"
#include "param/param_class.h"
#include "param/param_class_kinds.h"

namespace corvane {

const ParamEntryAllVisibleTest ParamEntryAllVisible;

ParamEntry::~ParamEntry() = default;

RString ParamEntry::GetContext(const char* member) const {
  // Built from the leaf upward; the first join after a member name is ".",
  // every other "/". The result is cut to what a 512-byte buffer holds.
  std::string text = member ? member : "";
  bool first = member != nullptr;
  const ParamEntry* entry = this;
  int guard = 0;
  while (entry && guard++ < 4096) {
    std::string prefix = entry->GetName();
    prefix += first ? "." : "/";
    first = false;
    text.insert(0, prefix);
    if (text.size() > 4 * 511) break;  // deep trees: the head is all we keep
    entry = entry->GetParentClass();
  }
  if (text.size() > 511) text.resize(511);
  return RString(text.c_str());
}

void ParamEntry::ReportNotValue() const {
  ReportErrorLevel(3, "'%s' is not a value", GetContext().Data());
}

void ParamEntry::ReportNotClass(const char* accessed) const {
  ReportErrorLevel(3, "'%s' is not a class ('%s' accessed)", GetContext().Data(),
                   accessed ? accessed : "");
}

void ParamEntry::ReportNotArray() const {
  ReportErrorLevel(3, "'%s' is not an array.", GetContext().Data());
}

void ParamEntry::SetSourceFrom(const ParamClass&) {
  CORVANE_REPORT_INTERNAL("Cannot set entry owner");
}
void ParamEntry::SetSource(IParamClassSource*, bool) {
  CORVANE_REPORT_INTERNAL("Cannot set entry owner");
}
void ParamEntry::DisableStreaming(bool) { CORVANE_REPORT_INTERNAL("Cannot set entry streaming"); }
void ParamEntry::SetAccess(int) {}
void ParamEntry::SetAccessRecursive(int) {}

IParamClassSource* ParamEntry::GetSource() const {
  CORVANE_REPORT_INTERNAL("Not supported");
  return nullptr;
}
RString ParamEntry::GetSourceName() const {
  CORVANE_REPORT_INTERNAL("Not supported");
  return RString();
}
RString ParamEntry::GetSourceFileName() const {
  CORVANE_REPORT_INTERNAL("Not supported");
  return RString();
}
bool ParamEntry::IsVisible(const IParamVisibleTest&) const {
  CORVANE_REPORT_INTERNAL("ParamEntry does not know if it is visible");
  return true;
}

ParamEntry* ParamEntry::Clone() const {
  ReportNotValue();
  return nullptr;
}
RString ParamEntry::GetText() const {
  ReportNotValue();
  return RString();
}
float ParamEntry::GetFloat() const {
  ReportNotValue();
  return 0;
}
int ParamEntry::GetInt() const {
  ReportNotValue();
  return 0;
}
bool ParamEntry::GetBool() const {
  ReportNotValue();
  return false;
}
int ParamEntry::GetIntAlt() const {
  ReportNotValue();
  return 0;
}
RString ParamEntry::GetRawText() const {
  ReportNotValue();
  return RString();
}
RString ParamEntry::GetTextAlt() const {
  ReportNotValue();
  return RString();
}

void ParamEntry::SetValue(int, int) {
  ReportErrorLevel(3, "SetValue: '%s' not an array", GetContext().Data());
}
void ParamEntry::SetValue(int, float) {
  ReportErrorLevel(3, "SetValue: '%s' not an array", GetContext().Data());
}
void ParamEntry::SetValue(int, const char*) {
  ReportErrorLevel(3, "SetValue: '%s' not an array", GetContext().Data());
}
void ParamEntry::SetInt(int) { ReportNotValue(); }
void ParamEntry::SetFloat(float) { ReportNotValue(); }
void ParamEntry::SetText(const char*) { ReportNotValue(); }

void ParamEntry::AddInt(const char* name, int) { ReportNotClass(name); }
void ParamEntry::AddFloat(const char* name, float) { ReportNotClass(name); }
void ParamEntry::AddText(const char* name, const char*) { ReportNotClass(name); }
ParamClass* ParamEntry::AddClass(const char* name, bool, bool) {
  ReportNotClass(name);
  return nullptr;
}
ParamEntry* ParamEntry::AddArray(const char* name) {
  ReportNotClass(name);
  return nullptr;
}
void ParamEntry::Clear() { ReportNotArray(); }
void ParamEntry::Delete(const char* name) { ReportNotClass(name); }
void ParamEntry::AddItemText(const char*) { ReportNotArray(); }
void ParamEntry::AddItemInt(int) { ReportNotArray(); }
void ParamEntry::AddItemFloat(float) { ReportNotArray(); }
ParamArrayValueArray* ParamEntry::AddItemArray() {
  ReportNotArray();
  return nullptr;
}

int ParamEntry::GetEntryCount() const {
  ReportErrorLevel(3, "'%s' is not a class.", GetContext().Data());
  return 0;
}
EntryHandle ParamEntry::GetEntry(int) const {
  ReportErrorLevel(3, "'%s' is not a class.", GetContext().Data());
  return ParamErrorHandle();
}
void ParamEntry::BuildIndex() { ReportErrorLevel(3, "'%s' is not a class.", GetContext().Data()); }

const IParamArrayValue& ParamEntry::GetItem(int) const {
  ReportErrorLevel(3, "[]: '%s' not an array", GetContext().Data());
  return ParamEmptyArrayItem();
}
int ParamEntry::GetSize() const {
  ReportErrorLevel(3, "Size: '%s' not an array", GetContext().Data());
  return 0;
}
void ParamEntry::DeleteValue(int) {
  ReportErrorLevel(3, "DeleteValue: '%s' not an array", GetContext().Data());
}

EntryHandle ParamEntry::FindOwnEntry(const char* name, const IParamVisibleTest&) const {
  ReportNotClass(name);
  return EntryHandle();
}
EntryHandle ParamEntry::FindEntry(const char* name, const IParamVisibleTest&) const {
  ReportNotClass(name);
  return EntryHandle();
}
bool ParamEntry::CheckIfEntryExists(const char* name, const IParamVisibleTest&) const {
  ReportNotClass(name);
  return false;
}
EntryHandle ParamEntry::FindEntryPath(const char* path) const {
  ReportNotClass(path);
  return EntryHandle();
}
EntryHandle ParamEntry::GetEntryByName(const char* name) const {
  ReportNotClass(name);
  return ParamErrorHandle();
}
bool ParamEntry::RestoreLoaded(const IParamVisibleTest&, bool) {
  ReportNotClass("");
  return true;
}
EntryHandle ParamEntry::GetParent() const {
  ReportNotClass("");
  return EntryHandle();
}
EntryHandle ParamEntry::GetBase() const {
  ReportNotClass("");
  return EntryHandle();
}

void ParamEntry::SaveText(QOStream&, int, const char*) const {}

}  // namespace corvane
