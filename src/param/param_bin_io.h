#pragma once

#include <cstdint>

#include "foundation/banked_string.h"
#include "foundation/r_string.h"

namespace corvane {

class SerializeBinStream;
struct ParamFileContext;

// The primitive reads and writes of the binary configuration form on top of
// SerializeBinStream. Every read stays inside the input: at the end of the
// data a read answers -1/0/the empty text and marks the stream with the file
// structure error, so loops over counts taken from the file stop.

inline constexpr int kParamErrorSignature = 1;
inline constexpr int kParamErrorVersion = 3;
inline constexpr int kParamErrorStructure = 4;

ParamFileContext& ParamContext(SerializeBinStream& stream);
bool ParamLoading(const SerializeBinStream& stream);
int ParamError(const SerializeBinStream& stream);
void ParamSetError(SerializeBinStream& stream, int code);
// True once a read ran past the end of the data (or an error stopped it).
bool ParamAtEnd(const SerializeBinStream& stream);

int ParamReadByte(SerializeBinStream& stream);  // 0..255, -1 at the end
int32_t ParamReadInt(SerializeBinStream& stream);
uint32_t ParamReadCompact(SerializeBinStream& stream);
BankedString ParamReadString(SerializeBinStream& stream);  // zero-terminated, in place
// A string of a class body: in place (version 8), or a reference into the
// context's string table (versions 2 to 7).
BankedString ParamReadBodyString(SerializeBinStream& stream);

int64_t ParamTell(const SerializeBinStream& stream);
void ParamSeek(SerializeBinStream& stream, int64_t position);
int64_t ParamDataSize(const SerializeBinStream& stream);

void ParamWriteByte(SerializeBinStream& stream, int value);
void ParamWriteInt(SerializeBinStream& stream, int32_t value);
void ParamWriteCompact(SerializeBinStream& stream, uint32_t value);
void ParamWriteString(SerializeBinStream& stream, const char* text);
// A 32-bit placeholder to be filled later with a position.
int64_t ParamReserveOffset(SerializeBinStream& stream);
// Writes the current position into the placeholder at `offset`.
void ParamPatchOffset(SerializeBinStream& stream, int64_t offset);

// Reports "FileStructure error" and sets the structure error code.
void ParamStructureError(SerializeBinStream& stream);

}  // namespace corvane
