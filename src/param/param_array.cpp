#include "param/param_array.h"

#include "foundation/app_frame.h"

namespace corvane {

template class ParamArrayValueSpec<ParamRawValue>;
template class ParamArrayValueSpec<ParamRawValueFloat>;
template class ParamArrayValueSpec<ParamRawValueInt>;
template class ParamArrayValueSpec<ParamRawValueExpression>;

namespace {

void ReportScalarItem() { ReportErrorLevel(3, "Value not an array."); }
void ReportNestedArrayAsValue() { ReportErrorLevel(3, "'%s' is not a value", "[]"); }

// Keeps one reference for the whole process, so it is never freed.
ParamArrayValueText* CreateEmptyItem() {
  auto* item = new ParamArrayValueText;
  item->AddRef();
  return item;
}

}  // namespace

const IParamArrayValue& ParamEmptyArrayItem() {
  static ParamArrayValueText* item = CreateEmptyItem();
  return *item;
}

// --- scalar items: the nested-array operations ---

const IParamArrayValue& IParamArrayValue::GetItem(int) const {
  ReportScalarItem();
  return ParamEmptyArrayItem();
}
void IParamArrayValue::AddValue(const char*) { ReportScalarItem(); }
void IParamArrayValue::AddValue(float) { ReportScalarItem(); }
void IParamArrayValue::AddValue(int) { ReportScalarItem(); }
ParamArrayValueArray* IParamArrayValue::AddArrayValue() {
  ReportScalarItem();
  return nullptr;
}

// --- nested arrays ---

RString ParamArrayValueArray::GetText() const {
  ReportNestedArrayAsValue();
  return RString();
}
RString ParamArrayValueArray::GetRawText() const {
  ReportNestedArrayAsValue();
  return RString();
}
float ParamArrayValueArray::GetFloat() const {
  ReportNestedArrayAsValue();
  return 0;
}
int ParamArrayValueArray::GetInt() const {
  ReportNestedArrayAsValue();
  return 0;
}
void ParamArrayValueArray::SetInt(int) { ReportNestedArrayAsValue(); }
void ParamArrayValueArray::SetFloat(float) { ReportNestedArrayAsValue(); }
void ParamArrayValueArray::SetText(const char*) { ReportNestedArrayAsValue(); }

void ParamArrayValueArray::SetFile(ParamFile* file) {
  for (auto& item : value_) item->SetFile(file);
}

size_t ParamArrayValueArray::GetOwnMemory() const {
  size_t total =
      sizeof(*this) + sizeof(Ref<IParamArrayValue>) * static_cast<size_t>(value_.MaxSize());
  for (const auto& item : value_) total += item->GetOwnMemory();
  return total;
}

const IParamArrayValue& ParamArrayValueArray::GetItem(int index) const {
  if (index < 0 || index >= value_.Size()) {
    ReportErrorLevel(3, "Config: '%s' array does not have %d entries.", "[]", index + 1);
    return ParamEmptyArrayItem();
  }
  return *value_[index];
}

void ParamArrayValueArray::AddToCheckValue(ParamCheckValueSink& sink) const {
  for (const auto& item : value_) item->AddToCheckValue(sink);
}

void ParamArrayValueArray::AddValue(const char* value) {
  AddItem(new ParamArrayValueText(ParamRawValue(value)));
}
void ParamArrayValueArray::AddValue(float value) {
  AddItem(new ParamArrayValueFloat(ParamRawValueFloat(value)));
}
void ParamArrayValueArray::AddValue(int value) {
  AddItem(new ParamArrayValueInt(ParamRawValueInt(value)));
}
ParamArrayValueArray* ParamArrayValueArray::AddArrayValue() {
  auto* nested = new ParamArrayValueArray;
  AddItem(nested);
  return nested;
}

// --- named arrays ---

size_t ParamArray::GetOwnMemory() const {
  return sizeof(*this) + sizeof(Ref<IParamArrayValue>) * static_cast<size_t>(value_.MaxSize());
}

size_t ParamArray::GetChildMemory() const {
  size_t total = 0;
  for (const auto& item : value_) total += item->GetOwnMemory();
  return total;
}

ParamEntry* ParamArray::Clone() const {
  auto* copy = new ParamArray(GetName());
  copy->value_ = value_;  // items are shared
  copy->access_ = access_;
  return copy;
}

// An index past the end has no item to replace; the array stays as it is.
void ParamArray::SetValue(int index, int value) {
  if (index < 0 || index >= value_.Size()) {
    ReportInternalError(__FILE__, __LINE__, "Array index out of range");
    return;
  }
  value_[index] = new ParamArrayValueInt(ParamRawValueInt(value));
}

void ParamArray::SetValue(int index, float value) {
  if (index < 0 || index >= value_.Size()) {
    ReportInternalError(__FILE__, __LINE__, "Array index out of range");
    return;
  }
  value_[index] = new ParamArrayValueFloat(ParamRawValueFloat(value));
}

void ParamArray::SetValue(int index, const char* value) {
  if (index < 0 || index >= value_.Size()) {
    ReportInternalError(__FILE__, __LINE__, "Array index out of range");
    return;
  }
  value_[index] = new ParamArrayValueText(ParamRawValue(value));
}

void ParamArray::SetFile(ParamFile* file) {
  for (auto& item : value_) item->SetFile(file);
}

bool ParamArray::CanAddItems() const {
  if (access_ >= PAReadOnly) {
    ReportWarning("Attempt to modify read-only item %s", GetName());
    return false;
  }
  if (access_ == PAReadAndCreate) {
    ReportWarning("Attempt to modify add-only item %s", GetName());
    return false;
  }
  return true;
}

void ParamArray::AddItemText(const char* value) {
  if (CanAddItems()) AddItem(new ParamArrayValueText(ParamRawValue(value)));
}

void ParamArray::AddItemInt(int value) {
  if (CanAddItems()) AddItem(new ParamArrayValueInt(ParamRawValueInt(value)));
}

void ParamArray::AddItemFloat(float value) {
  if (CanAddItems()) AddItem(new ParamArrayValueFloat(ParamRawValueFloat(value)));
}

ParamArrayValueArray* ParamArray::AddItemArray() {
  if (!CanAddItems()) return nullptr;
  auto* nested = new ParamArrayValueArray;
  AddItem(nested);
  return nested;
}

const IParamArrayValue& ParamArray::GetItem(int index) const {
  if (index < 0 || index >= value_.Size()) {
    ReportErrorLevel(3, "Config: '%s' array does not have %d entries.", GetName(), index + 1);
    return ParamEmptyArrayItem();
  }
  return *value_[index];
}

void ParamArray::AddToCheckValue(ParamCheckValueSink& sink) const {
  for (const auto& item : value_) item->AddToCheckValue(sink);
}

}  // namespace corvane
