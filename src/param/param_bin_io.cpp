#include "param/param_bin_io.h"

#include <string>

#include "foundation/app_frame.h"
#include "foundation/banked_string.h"
#include "param/param_file_context.h"
#include "stream/qi_stream.h"
#include "stream/qo_stream.h"
#include "stream/serialize_bin_stream.h"

namespace corvane {

namespace {

QIStream& In(const SerializeBinStream& stream) { return *stream.GetInput(); }
QOStream& Out(const SerializeBinStream& stream) { return *stream.GetOutput(); }

// A read that ran past the end of the data: the file is cut short.
void MarkCut(SerializeBinStream& stream) {
  if (stream.GetError() == 0) stream.SetError(kParamErrorStructure);
}

}  // namespace

ParamFileContext& ParamContext(SerializeBinStream& stream) {
  return *static_cast<ParamFileContext*>(stream.GetContext());
}

bool ParamLoading(const SerializeBinStream& stream) { return stream.IsLoading(); }
int ParamError(const SerializeBinStream& stream) { return stream.GetError(); }
void ParamSetError(SerializeBinStream& stream, int code) { stream.SetError(code); }
bool ParamAtEnd(const SerializeBinStream& stream) { return stream.GetError() != 0; }

void ParamStructureError(SerializeBinStream& stream) {
  CORVANE_REPORT_INTERNAL("FileStructure error");
  stream.SetError(kParamErrorStructure);
}

int ParamReadByte(SerializeBinStream& stream) {
  int c = In(stream).get();
  if (c < 0) MarkCut(stream);
  return c;
}

int32_t ParamReadInt(SerializeBinStream& stream) {
  unsigned char bytes[4] = {};
  if (In(stream).read(bytes, 4) != 4) {
    MarkCut(stream);
    return 0;
  }
  return static_cast<int32_t>(
      static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
      static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

uint32_t ParamReadCompact(SerializeBinStream& stream) {
  // At most five groups make 32 bits; a longer run is no compact integer.
  uint32_t value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    int c = ParamReadByte(stream);
    if (c < 0) return 0;
    value |= static_cast<uint32_t>(c & 0x7F) << shift;
    if (!(c & 0x80)) return value;
  }
  ParamStructureError(stream);
  return value;
}

BankedString ParamReadString(SerializeBinStream& stream) {
  // Read into a local buffer first: a text met lately comes from the
  // context's cache, and only the others reach the bank.
  char small[128];
  std::string large;
  size_t length = 0;
  uint32_t hash = 0;
  QIStream& in = In(stream);
  for (;;) {
    int c = in.get();
    if (c < 0) {
      CORVANE_REPORT_INTERNAL("EOF in string");
      stream.SetError(kParamErrorStructure);
      break;
    }
    if (c == 0) break;
    hash = hash * 33 + static_cast<uint32_t>(c);
    if (length + 1 < sizeof small) {
      small[length++] = static_cast<char>(c);
      continue;
    }
    if (large.empty()) large.assign(small, length);
    large.push_back(static_cast<char>(c));
    ++length;
  }
  if (!large.empty()) return BankedString(large.c_str());
  small[length] = '\0';
  if (length == 0) return BankedString();
  BankedString& recent = ParamContext(stream).recent_[hash % ParamFileContext::kRecentStrings];
  if (recent.IsNull() || CompareText(recent.Data(), small) != 0) recent = BankedString(small);
  return recent;
}

BankedString ParamReadBodyString(SerializeBinStream& stream) {
  ParamFileContext& context = ParamContext(stream);
  if (context.version_ >= 8) return ParamReadString(stream);
  AutoArray<RString>& table = context.string_table_;
  int64_t index =
      context.version_ >= 3 ? static_cast<int32_t>(ParamReadCompact(stream)) : ParamReadInt(stream);
  if (ParamAtEnd(stream)) return BankedString();
  if (index >= 0 && index < table.Size()) return BankedString(table[static_cast<int>(index)]);
  // Older layouts introduce a new string by the next free index.
  if (context.version_ < 7 && index == table.Size()) {
    BankedString text = ParamReadString(stream);
    table.Add(text.GetRString());
    return text;
  }
  ParamStructureError(stream);
  return BankedString();
}

int64_t ParamTell(const SerializeBinStream& stream) {
  return stream.IsLoading() ? In(stream).tellg() : Out(stream).tellp();
}

void ParamSeek(SerializeBinStream& stream, int64_t position) { In(stream).seekg(position); }

int64_t ParamDataSize(const SerializeBinStream& stream) { return In(stream).GetDataSize(); }

void ParamWriteByte(SerializeBinStream& stream, int value) {
  Out(stream).put(static_cast<char>(value));
}

void ParamWriteInt(SerializeBinStream& stream, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                            static_cast<unsigned char>(v >> 16),
                            static_cast<unsigned char>(v >> 24)};
  Out(stream).write(bytes, 4);
}

void ParamWriteCompact(SerializeBinStream& stream, uint32_t value) {
  do {
    unsigned char byte = value & 0x7F;
    value >>= 7;
    if (value) byte |= 0x80;
    Out(stream).put(static_cast<char>(byte));
  } while (value);
}

void ParamWriteString(SerializeBinStream& stream, const char* text) {
  Out(stream).write(text, static_cast<int64_t>(std::char_traits<char>::length(text)) + 1);
}

int64_t ParamReserveOffset(SerializeBinStream& stream) { return stream.ReserveOffset(); }

void ParamPatchOffset(SerializeBinStream& stream, int64_t offset) { stream.PatchOffset(offset); }

}  // namespace corvane
