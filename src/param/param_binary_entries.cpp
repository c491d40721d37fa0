// Class bodies, values and arrays in the binary form: the writer (always the
// current layout) and the reader (current and older layouts).
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "foundation/app_frame.h"
#include "param/param_array.h"
#include "param/param_bin_io.h"
#include "param/param_binary_reader.h"
#include "param/param_class_kinds.h"
#include "param/param_file.h"
#include "param/param_file_context.h"
#include "param/param_value.h"

namespace corvane {

namespace {

// Classes with many entries get a name index while loading, so that base
// linking and later lookups do not scan them over and over.
constexpr int kIndexThreshold = 256;

float FloatFromBits(int32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int32_t BitsFromFloat(float value) {
  int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

uint32_t ReadCount(SerializeBinStream& stream) {
  return ParamContext(stream).version_ >= 4 ? ParamReadCompact(stream)
                                            : static_cast<uint32_t>(ParamReadInt(stream));
}

// Room reserved ahead for the records a count announces. A count taken
// from the file never decides a large allocation by itself (nested arrays
// could each claim the rest of the file); storage grows as records arrive.
constexpr int64_t kMaxReserve = 4096;
int BoundedCount(SerializeBinStream& stream, uint32_t count) {
  int64_t remaining = ParamDataSize(stream) - ParamTell(stream);
  if (remaining < 0) remaining = 0;
  return static_cast<int>(std::min<int64_t>({static_cast<int64_t>(count), remaining, kMaxReserve}));
}

bool EnterNesting(SerializeBinStream& stream) {
  ParamFileContext& context = ParamContext(stream);
  if (context.depth_ >= kParamMaxNesting) {
    ParamStructureError(stream);
    return false;
  }
  ++context.depth_;
  return true;
}

void LeaveNesting(SerializeBinStream& stream) { --ParamContext(stream).depth_; }

IParamArrayValue* ReadItem(SerializeBinStream& stream, int type);

void ReadItems(SerializeBinStream& stream, ParamArrayItems& items) {
  uint32_t count = ReadCount(stream);
  int room = items.Size() + BoundedCount(stream, count);
  if (room > items.MaxSize()) items.Realloc(room);
  for (uint32_t i = 0; i < count && !ParamAtEnd(stream); ++i) {
    int type = ParamReadByte(stream);
    if (type < 0) break;
    IParamArrayValue* item = ReadItem(stream, type);
    if (item) items.Add(Ref<IParamArrayValue>(item));
  }
}

IParamArrayValue* ReadItem(SerializeBinStream& stream, int type) {
  switch (type) {
    case kParamItemFloat:
      return new ParamArrayValueFloat(ParamRawValueFloat(FloatFromBits(ParamReadInt(stream))));
    case kParamItemInt:
      return new ParamArrayValueInt(ParamRawValueInt(ParamReadInt(stream)));
    case kParamItemArray: {
      if (!EnterNesting(stream)) return nullptr;
      auto* nested = new ParamArrayValueArray;
      ReadItems(stream, nested->Items());
      LeaveNesting(stream);
      return nested;
    }
    case kParamItemExpression:
      return new ParamArrayValueExpression(ParamRawValueExpression(ParamReadBodyString(stream)));
    case kParamItemText:
      break;
    default:
      ReportErrorAt("%s(%d) : Unknown array value type %d", __FILE__, __LINE__, type);
      break;
  }
  return new ParamArrayValueText(ParamRawValue(ParamReadBodyString(stream)));
}

ParamEntry* ReadValue(SerializeBinStream& stream, ParamClass& cls) {
  int type = ParamReadByte(stream);
  BankedString name = ParamReadBodyString(stream);
  ParamEntry* entry = nullptr;
  switch (type) {
    case kParamItemFloat:
      entry = new ParamValueFloat(name, ParamRawValueFloat(FloatFromBits(ParamReadInt(stream))));
      break;
    case kParamItemInt:
      entry = new ParamValueInt(name, ParamRawValueInt(ParamReadInt(stream)));
      break;
    case kParamItemExpression:
      entry = new ParamValueExpression(name, ParamRawValueExpression(ParamReadBodyString(stream)));
      break;
    default:
      if (type != kParamItemText) {
        ReportErrorAt("%s(%d) : Unknown value type %d", __FILE__, __LINE__, type);
      }
      entry = new ParamValueText(name, ParamRawValue(ParamReadBodyString(stream)));
      break;
  }
  // The value named exactly "access" sets the level of the class being read.
  if (std::strcmp(name.Data(), "access") == 0) {
    cls.SetAccess(entry->GetInt());
    if (!(cls.GetAccess() > PADefault))
      ReportAssertionFailed(__FILE__, __LINE__, "_access>PADefault");
  }
  return entry;
}

struct PendingBody {
  ParamClass* cls;
  int index;
  int32_t position;
};

}  // namespace

// --- base linking and access inheritance ---

void ParamLinkBase(ParamClass& cls, const char* base_name, int own_index) {
  if (!base_name || !*base_name) {
    cls.SetBase(nullptr);
    return;
  }
  ParamClass* parent = cls.GetParentPtr();
  EntryHandle found;
  if (parent) {
    int index = parent->FindOwnIndex(base_name);
    if (index >= 0 && (own_index < 0 || index < own_index)) {
      ParamEntry* entry = parent->LoadedEntryAt(index);
      found = EntryHandle(parent, entry);
    } else {
      if (parent->GetBasePtr()) found = parent->GetBasePtr()->FindEntryWide(base_name);
      if (!found && parent->GetParentPtr())
        found = parent->GetParentPtr()->FindEntryWide(base_name);
    }
  }
  ParamClass* base = found ? found->GetClass() : nullptr;
  if (!base) {
    ReportWarning("Cannot find base %s for %s", base_name, cls.GetContext().Data());
    cls.SetBase(nullptr);
    return;
  }
  cls.SetBase(base);
}

void ParamInheritAccess(ParamClass& cls) {
  if (cls.GetAccess() != PADefault) return;
  if (const ParamClass* base = cls.GetBasePtr(); base && base->GetAccess() >= 0) {
    cls.SetAccess(base->GetAccess());
    return;
  }
  for (const ParamClass* p = cls.GetParentPtr(); p; p = p->GetParentPtr()) {
    if (p->GetAccess() >= 0) {
      cls.SetAccess(p->GetAccess());
      return;
    }
    if (p->GetBasePtr() && p->GetBasePtr()->GetAccess() >= 0) {
      cls.SetAccess(p->GetBasePtr()->GetAccess());
      return;
    }
  }
}

// --- reading a class body ---

void ParamReadClassBody(SerializeBinStream& stream, ParamClass& cls, int own_index, bool is_root) {
  ParamFileContext& context = ParamContext(stream);
  if (!EnterNesting(stream)) return;
  const int version = context.version_;
  if (version < 7) {
    BankedString name = ParamReadBodyString(stream);
    if (!is_root) cls.SetName(std::move(name));
  }
  cls.SetSource(context.source_.GetRef(), false);
  BankedString base_name = version < 7 ? ParamReadString(stream) : ParamReadBodyString(stream);
  ParamLinkBase(cls, base_name.Data(), own_index);

  uint32_t count = ReadCount(stream);
  cls.Reserve(cls.GetEntryCount() + BoundedCount(stream, count));
  std::vector<PendingBody> pending;
  for (uint32_t i = 0; i < count && !ParamAtEnd(stream); ++i) {
    int type = ParamReadByte(stream);
    if (type < 0) break;
    switch (type) {
      case kParamEntryClass: {
        if (version >= 7) {
          BankedString name = ParamReadBodyString(stream);
          int32_t position = ParamReadInt(stream);
          auto* sub = new ParamClass(std::move(name));
          sub->SetParent(&cls);
          cls.AppendEntry(sub);
          pending.push_back({sub, cls.GetEntryCount() - 1, position});
        } else {
          // Old layouts store the body in place; the class joins its parent
          // after it was read.
          auto* sub = new ParamClass("");
          sub->SetParent(&cls);
          sub->SetSourceOffset(static_cast<int>(ParamTell(stream)));
          ParamReadClassBody(stream, *sub, -1, false);
          cls.AppendEntry(sub);
        }
        break;
      }
      case kParamEntryValue:
        cls.AppendEntry(ReadValue(stream, cls));
        break;
      case kParamEntryArray: {
        auto* array = new ParamArray(ParamReadBodyString(stream));
        if (EnterNesting(stream)) {
          ReadItems(stream, array->Items());
          LeaveNesting(stream);
        }
        cls.AppendEntry(array);
        break;
      }
      case kParamEntryClassDecl: {
        auto* decl = new ParamClassDecl(ParamReadBodyString(stream));
        decl->SetParent(&cls);
        cls.AppendEntry(decl);
        break;
      }
      case kParamEntryClassDelete: {
        auto* marker = new ParamClassDelete(ParamReadBodyString(stream));
        marker->SetParent(&cls);
        cls.AppendEntry(marker);
        break;
      }
      default:
        CORVANE_REPORT_INTERNAL("Uknown entry type");
        break;
    }
  }
  if (cls.GetEntryCount() >= kIndexThreshold && !cls.HasIndex()) cls.BuildIndex();

  if (version >= 7) {
    int32_t end_position = ParamReadInt(stream);
    context.frontier_ = std::max(context.frontier_, ParamTell(stream));
    bool defer = !context.full_load_ && context.source_ && context.source_->CanUnload();
    for (size_t i = 0; i < pending.size() && ParamError(stream) == 0; ++i) {
      const PendingBody& body = pending[i];
      if (defer) {
        int32_t next = i + 1 < pending.size() ? pending[i + 1].position : end_position;
        uint32_t size = next > body.position ? static_cast<uint32_t>(next - body.position) : 0;
        cls.ReplaceEntryAt(
            body.index, new ParamClassPlaceholder(body.cls->GetBankedName(),
                                                  context.source_.GetRef(), body.position, size));
        continue;
      }
      if (body.position < context.frontier_ || body.position > ParamDataSize(stream)) {
        ParamStructureError(stream);
        break;
      }
      ParamSeek(stream, body.position);
      body.cls->SetSourceOffset(body.position);
      ParamReadClassBody(stream, *body.cls, body.index, false);
      body.cls->SetSourceSize(static_cast<uint32_t>(ParamTell(stream) - body.position));
      context.frontier_ = std::max(context.frontier_, ParamTell(stream));
    }
    if (end_position >= 0 && end_position <= ParamDataSize(stream)) ParamSeek(stream, end_position);
  }
  ParamInheritAccess(cls);
  LeaveNesting(stream);
}

// --- writing ---

template <class Raw>
void ParamValueSpec<Raw>::SerializeBin(SerializeBinStream& stream) {
  if (ParamLoading(stream)) {
    this->GetRaw().ReadBin(stream);
    return;
  }
  ParamWriteByte(stream, kParamEntryValue);
  ParamWriteByte(stream, Raw::kBinaryType);
  ParamWriteString(stream, this->GetName());
  this->GetRaw().WriteBin(stream);
}

template <class Raw>
void ParamArrayValueSpec<Raw>::SerializeBin(SerializeBinStream& stream) const {
  ParamWriteByte(stream, Raw::kBinaryType);
  this->GetRaw().WriteBin(stream);
}

template void ParamValueSpec<ParamRawValue>::SerializeBin(SerializeBinStream&);
template void ParamValueSpec<ParamRawValueFloat>::SerializeBin(SerializeBinStream&);
template void ParamValueSpec<ParamRawValueInt>::SerializeBin(SerializeBinStream&);
template void ParamValueSpec<ParamRawValueExpression>::SerializeBin(SerializeBinStream&);
template void ParamArrayValueSpec<ParamRawValue>::SerializeBin(SerializeBinStream&) const;
template void ParamArrayValueSpec<ParamRawValueFloat>::SerializeBin(SerializeBinStream&) const;
template void ParamArrayValueSpec<ParamRawValueInt>::SerializeBin(SerializeBinStream&) const;
template void ParamArrayValueSpec<ParamRawValueExpression>::SerializeBin(SerializeBinStream&) const;

void ParamRawTextBody::WriteBin(SerializeBinStream& stream) const {
  ParamWriteString(stream, value_.Data());
}
void ParamRawTextBody::ReadBin(SerializeBinStream& stream) { value_ = ParamReadBodyString(stream); }
void ParamRawValueFloat::WriteBin(SerializeBinStream& stream) const {
  ParamWriteInt(stream, BitsFromFloat(value_));
}
void ParamRawValueFloat::ReadBin(SerializeBinStream& stream) {
  value_ = FloatFromBits(ParamReadInt(stream));
}
void ParamRawValueInt::WriteBin(SerializeBinStream& stream) const { ParamWriteInt(stream, value_); }
void ParamRawValueInt::ReadBin(SerializeBinStream& stream) { value_ = ParamReadInt(stream); }

static void WriteItems(SerializeBinStream& stream, const ParamArrayItems& items) {
  ParamWriteCompact(stream, static_cast<uint32_t>(items.Size()));
  for (const auto& item : items) item->SerializeBin(stream);
}

void ParamArrayValueArray::SerializeBin(SerializeBinStream& stream) const {
  ParamWriteByte(stream, kParamItemArray);
  WriteItems(stream, value_);
}

void ParamArray::SerializeBin(SerializeBinStream& stream) {
  if (ParamLoading(stream)) {
    ReadItems(stream, value_);
    return;
  }
  ParamWriteByte(stream, kParamEntryArray);
  ParamWriteString(stream, GetName());
  WriteItems(stream, value_);
}

void ParamClass::SerializeBin(SerializeBinStream& stream) {
  if (ParamLoading(stream)) {
    ParamReadClassBody(stream, *this, parent_ ? parent_->IndexOfEntry(this) : -1,
                       parent_ == nullptr);
    return;
  }
  ParamWriteString(stream, base_ ? base_->GetName() : "");
  ParamWriteCompact(stream, static_cast<uint32_t>(entries_.Size()));
  std::vector<std::pair<ParamClass*, int64_t>> bodies;
  for (int i = 0; i < entries_.Size(); ++i) {
    ParamEntry* entry = LoadedEntryAt(i);
    ParamClass* cls = entry->AsClass();
    if (!cls) {
      entry->SerializeBin(stream);
    } else if (cls->IsDelete()) {
      ParamWriteByte(stream, kParamEntryClassDelete);
      ParamWriteString(stream, cls->GetName());
    } else if (!cls->IsDefined()) {
      ParamWriteByte(stream, kParamEntryClassDecl);
      ParamWriteString(stream, cls->GetName());
    } else {
      ParamWriteByte(stream, kParamEntryClass);
      ParamWriteString(stream, cls->GetName());
      bodies.emplace_back(cls, ParamReserveOffset(stream));
    }
  }
  int64_t end_offset = ParamReserveOffset(stream);
  for (auto& [cls, offset] : bodies) {
    ParamPatchOffset(stream, offset);
    cls->SerializeBin(stream);
  }
  ParamPatchOffset(stream, end_offset);
}

}  // namespace corvane
