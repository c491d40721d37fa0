#pragma once

#include "foundation/r_string.h"

namespace corvane {

class ParamClass;
class ParamFile;
class QIStream;
class SerializeBinStream;
class IParamClassSource;

// Reads the header (signature, version, string table, enum-table offset)
// into the stream's context. False (with the stream's error code set) when
// the file cannot be read: a wrong signature (1) or version (3).
bool ParamReadHeader(SerializeBinStream& stream, const char* source_name);

// Reads the body of `cls` (which exists and has its parent set) at the
// current position. `own_index` is the class's position in its parent, -1
// when it is not in it yet; the root keeps its own name.
void ParamReadClassBody(SerializeBinStream& stream, ParamClass& cls, int own_index, bool is_root);

// Links `cls` to the class named `base_name` as seen from its parent; an
// empty name removes the base.
void ParamLinkBase(ParamClass& cls, const char* base_name, int own_index);

// A class whose level is still unset takes its base's or its parents'.
void ParamInheritAccess(ParamClass& cls);

// Reads one class body again from `in`, a binary file of `source`.
bool ParamReloadClassBody(QIStream& in, ParamClass& cls, IParamClassSource* source);

}  // namespace corvane
