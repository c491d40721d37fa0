// The text writer: every entry kind written in the configuration text form,
// so that the text parser reads back the same tree.
#include <cstdlib>
#include <cstring>

#include "param/param_array.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_value.h"
#include "param/param_value_conversion.h"
#include "stream/qo_stream.h"

namespace corvane {

namespace {

void Put(QOStream& out, const char* text) {
  out.write(text, static_cast<int64_t>(std::strlen(text)));
}

void PutIndent(QOStream& out, int indent) {
  for (int i = 0; i < indent; ++i) out.put('\t');
}

// Double quotes doubled, carriage returns dropped, line feeds written as a
// closing quote, " \n " and a new opening quote.
void PutQuoted(QOStream& out, const char* text) {
  out.put('"');
  for (const char* p = text; *p; ++p) {
    switch (*p) {
      case '"':
        Put(out, "\"\"");
        break;
      case '\r':
        break;
      case '\n':
        Put(out, "\" \\n \"");
        break;
      default:
        out.put(*p);
    }
  }
  out.put('"');
}

bool ReadsAsNumber(const char* text) {
  if (!*text) return false;
  char* end = nullptr;
  std::strtod(text, &end);
  return end != text && *end == '\0';
}

// A list goes on one line only when every item is a number.
bool IsNumericList(const ParamArrayItems& items) {
  for (const auto& item : items) {
    if (item->IsArray()) return false;
    if (!ReadsAsNumber(item->GetRawText().Data())) return false;
  }
  return true;
}

void PutList(QOStream& out, const ParamArrayItems& items, int indent, const char* eol) {
  if (IsNumericList(items)) {
    out.put('{');
    for (int i = 0; i < items.Size(); ++i) {
      if (i > 0) out.put(',');
      items[i]->SaveText(out, indent + 1, eol);
    }
    out.put('}');
    return;
  }
  Put(out, eol);
  PutIndent(out, indent);
  out.put('{');
  for (int i = 0; i < items.Size(); ++i) {
    Put(out, eol);
    PutIndent(out, indent + 1);
    items[i]->SaveText(out, indent + 1, eol);
    if (i + 1 < items.Size()) out.put(',');
  }
  Put(out, eol);
  PutIndent(out, indent);
  out.put('}');
}

template <class Raw>
void PutNamedValue(QOStream& out, const char* name, const Raw& raw, int indent, const char* eol) {
  PutIndent(out, indent);
  Put(out, name);
  out.put('=');
  raw.SaveText(out);
  out.put(';');
  Put(out, eol);
}

}  // namespace

// --- values ---

void ParamRawValue::SaveText(QOStream& out) const { PutQuoted(out, value_.Data()); }

void ParamRawValueExpression::SaveText(QOStream& out) const {
  out.put('@');
  PutQuoted(out, value_.Data());
}

void ParamRawValueFloat::SaveText(QOStream& out) const {
  Put(out, ParamFormatFloatF(value_).Data());
}

void ParamRawValueInt::SaveText(QOStream& out) const { Put(out, ParamFormatInt(value_).Data()); }

template <class Raw>
void ParamValueSpec<Raw>::SaveText(QOStream& out, int indent, const char* eol) const {
  PutNamedValue(out, this->GetName(), this->GetRaw(), indent, eol);
}

template <class Raw>
void ParamArrayValueSpec<Raw>::SaveText(QOStream& out, int, const char*) const {
  this->GetRaw().SaveText(out);
}

template void ParamValueSpec<ParamRawValue>::SaveText(QOStream&, int, const char*) const;
template void ParamValueSpec<ParamRawValueFloat>::SaveText(QOStream&, int, const char*) const;
template void ParamValueSpec<ParamRawValueInt>::SaveText(QOStream&, int, const char*) const;
template void ParamValueSpec<ParamRawValueExpression>::SaveText(QOStream&, int, const char*) const;
template void ParamArrayValueSpec<ParamRawValue>::SaveText(QOStream&, int, const char*) const;
template void ParamArrayValueSpec<ParamRawValueFloat>::SaveText(QOStream&, int, const char*) const;
template void ParamArrayValueSpec<ParamRawValueInt>::SaveText(QOStream&, int, const char*) const;
template void ParamArrayValueSpec<ParamRawValueExpression>::SaveText(QOStream&, int,
                                                                     const char*) const;

// --- arrays ---

void ParamArrayValueArray::SaveText(QOStream& out, int indent, const char* eol) const {
  PutList(out, value_, indent, eol);
}

void ParamArray::SaveText(QOStream& out, int indent, const char* eol) const {
  PutIndent(out, indent);
  Put(out, GetName());
  Put(out, "[]=");
  PutList(out, value_, indent, eol);
  out.put(';');
  Put(out, eol);
}

// --- classes ---

void ParamClass::SaveText(QOStream& out, int indent, const char* eol) const {
  PutIndent(out, indent);
  Put(out, "class ");
  Put(out, GetName());
  if (base_) {
    Put(out, ": ");
    Put(out, base_->GetName());
  }
  Put(out, eol);
  PutIndent(out, indent);
  out.put('{');
  Put(out, eol);
  for (int i = 0; i < entries_.Size(); ++i) LoadedEntryAt(i)->SaveText(out, indent + 1, eol);
  PutIndent(out, indent);
  Put(out, "};");
  Put(out, eol);
}

void ParamClassDecl::SaveText(QOStream& out, int indent, const char* eol) const {
  PutIndent(out, indent);
  Put(out, "class ");
  Put(out, GetName());
  out.put(';');
  Put(out, eol);
}

void ParamClassDelete::SaveText(QOStream& out, int indent, const char* eol) const {
  PutIndent(out, indent);
  Put(out, "delete ");
  Put(out, GetName());
  out.put(';');
  Put(out, eol);
}

void ParamFile::SaveText(QOStream& out, int indent, const char* eol) const {
  for (int i = 0; i < GetEntryCount(); ++i) LoadedEntryAt(i)->SaveText(out, indent, eol);
}

}  // namespace corvane
