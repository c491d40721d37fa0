// Loading and saving whole files in the binary form, and reading one class
// body again from its file.
#include <vector>

#include "foundation/app_frame.h"
#include "param/param_bin_io.h"
#include "param/param_binary_reader.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_file_context.h"
#include "stream/qi_f_stream.h"
#include "stream/qi_stream.h"
#include "stream/qo_f_stream.h"
#include "stream/qo_stream.h"
#include "stream/serialize_bin_stream.h"

namespace corvane {

namespace {

RString SourceName(const IParamClassSource* source) {
  return source ? source->GetOwnerName() : RString("No source");
}

void ReadStringTable(SerializeBinStream& stream) {
  ParamFileContext& context = ParamContext(stream);
  uint32_t count = static_cast<uint32_t>(ParamReadInt(stream));
  for (uint32_t i = 0; i < count && !ParamAtEnd(stream); ++i) {
    context.string_table_.Add(ParamReadString(stream).GetRString());
  }
}

// Binds what was loaded to the file; class bodies left as placeholders stay
// unloaded (they are bound when they are read).
void BindLoaded(ParamClass& root, ParamFile* file) {
  std::vector<ParamClass*> pending{&root};
  while (!pending.empty()) {
    ParamClass* cls = pending.back();
    pending.pop_back();
    for (int i = 0; i < cls->GetEntryCount(); ++i) {
      ParamEntry* entry = cls->EntryAt(i);
      if (entry->AsPlaceholder()) continue;
      if (ParamClass* sub = entry->AsClass()) {
        if (sub->IsDefined()) pending.push_back(sub);
      } else {
        entry->SetFile(file);
      }
    }
  }
}

}  // namespace

bool ParamReadHeader(SerializeBinStream& stream, const char* source_name) {
  ParamFileContext& context = ParamContext(stream);
  bool signature_ok = true;
  for (uint8_t expected : kParamBinarySignature) {
    if (ParamReadByte(stream) != expected) signature_ok = false;
  }
  if (!signature_ok) {
    ParamSetError(stream, kParamErrorSignature);
    return false;
  }
  int32_t version = ParamReadInt(stream);
  if (version == 0) version = ParamReadInt(stream);
  if (version == 2 || version == 3 || version == 4 || version == 7) {
    ReportLog("Config %s uses old binary format %d - rebinarize", source_name, version);
  } else if (version != kParamBinaryVersion) {
    ReportDataWarning("Bad version %d in ParamFile %s", version, source_name);
    ParamSetError(stream, kParamErrorVersion);
    return false;
  }
  context.version_ = version;
  context.enum_offset_ = -1;
  if (version == 8) context.enum_offset_ = ParamReadInt(stream);
  if (version == 7) {
    int32_t table_position = ParamReadInt(stream);
    context.enum_offset_ = ParamReadInt(stream);
    int64_t here = ParamTell(stream);
    if (table_position < 0 || table_position > ParamDataSize(stream)) {
      ParamStructureError(stream);
    } else {
      ParamSeek(stream, table_position);
      ReadStringTable(stream);
      ParamSeek(stream, here);
    }
  }
  if (IParamClassSource* source = context.source_.GetRef()) {
    source->SetContext(&context);
    if (version < 5 && source->CanUnload()) {
      ReportWarning("Config %s may not be streamed, old version %d", source_name, version);
      context.source_ = new ParamClassOwnerIndirectNoUnload(source);
    }
  }
  context.frontier_ = ParamTell(stream);
  return ParamError(stream) == 0;
}

namespace {

// Header, root body and enum table; the file was cleared by the caller.
bool LoadFile(ParamFile& file, SerializeBinStream& stream, const char* source_name,
              int evaluator_argument) {
  ParamFileContext& context = ParamContext(stream);
  if (!ParamReadHeader(stream, source_name)) return false;
  ParamReadClassBody(stream, file, -1, true);
  bool has_enums = context.version_ >= 6 && context.enum_offset_ >= 0;
  if (has_enums) {
    if (context.enum_offset_ > ParamDataSize(stream)) {
      ParamStructureError(stream);
    } else {
      ParamSeek(stream, context.enum_offset_);
    }
  }
  if (ParamError(stream) != 0) return false;
  BindLoaded(file, &file);
  if (!file.HasEvaluator()) file.CreateEvaluator(evaluator_argument);
  if (has_enums) {
    file.GetEvaluator()->LoadEnums(stream);
    // A table cut by the end of the data reads as zeros without an error of
    // the serializer's own; the file is damaged all the same.
    if (stream.GetInput()->eof() && ParamError(stream) == 0) ParamStructureError(stream);
  }
  return ParamError(stream) == 0;
}

}  // namespace

bool ParamFile::LoadBin(QIStream& in, IParamClassSource* source, int evaluator_argument) {
  Ref<IParamClassSource> keep(source);
  Clear();
  ParamFileContext context;
  context.full_load_ = true;
  context.source_ = source;
  SerializeBinStream stream(in);
  stream.SetContext(&context);
  return LoadFile(*this, stream, SourceName(source).Data(), evaluator_argument);
}

int ParamFile::LoadBin(const char* file_name, IParamClassSource* source, int evaluator_argument,
                       bool defer_classes) {
  Ref<IParamClassSource> keep(source);
  QIFStream in;
  in.open(file_name);
  if (in.fail()) return kParamLoadNoFile;
  Clear();
  SetName(file_name);
  ParamFileContext context;
  context.full_load_ = !defer_classes;
  context.source_ = source;
  SerializeBinStream stream(in);
  stream.SetContext(&context);
  if (LoadFile(*this, stream, SourceName(source).Data(), evaluator_argument)) return kParamLoadOk;
  return ParamError(stream) != 0 ? ParamError(stream) : kParamErrorStructure;
}

bool ParamFile::SaveBin(QOStream& out) {
  ParamFileContext context;
  context.version_ = kParamBinaryVersion;
  SerializeBinStream stream(out);
  stream.SetContext(&context);
  for (uint8_t byte : kParamBinarySignature) ParamWriteByte(stream, byte);
  ParamWriteInt(stream, 0);
  ParamWriteInt(stream, kParamBinaryVersion);
  int64_t enum_offset = ParamReserveOffset(stream);
  ParamClass::SerializeBin(stream);
  ParamPatchOffset(stream, enum_offset);
  GetEvaluator()->SaveEnums(stream);
  return ParamError(stream) == 0 && !out.fail();
}

bool ParamFile::SaveBin(const char* file_name) {
  QOFStream out;
  out.open(file_name);
  if (out.fail()) return false;
  bool ok = SaveBin(out);
  out.close();
  return ok && !out.fail();
}

bool ParamReloadClassBody(QIStream& in, ParamClass& cls, IParamClassSource* source) {
  ParamFileContext context;
  context.full_load_ = false;
  context.source_ = source;
  SerializeBinStream stream(in);
  stream.SetContext(&context);
  RString name = SourceName(source);
  if (!ParamReadHeader(stream, name.Data())) {
    if (ParamError(stream) == kParamErrorSignature) {
      ReportError("Bad format while loading %s", cls.GetContext().Data());
    } else {
      ReportError("Error while loading %s", cls.GetContext().Data());
    }
    return false;
  }
  if (context.version_ < 5)
    ReportLog("Streaming with old version %d may be buggy", context.version_);
  if (!(cls.GetSourceOffset() >= 0)) {
    ReportAssertionFailed(__FILE__, __LINE__, "cls._sourceOffset>=0");
    return false;
  }
  if (cls.GetSourceOffset() > ParamDataSize(stream)) {
    ParamStructureError(stream);
  } else {
    ParamSeek(stream, cls.GetSourceOffset());
    context.frontier_ = cls.GetSourceOffset();
    const ParamClass* parent = cls.GetParentPtr();
    ParamReadClassBody(stream, cls, parent ? parent->IndexOfEntry(&cls) : -1, parent == nullptr);
  }
  if (ParamError(stream) != 0) {
    ReportError("Error while loading %s", cls.GetContext().Data());
    return false;
  }
  return true;
}

}  // namespace corvane
