#pragma once

#include <cstdint>

#include "foundation/auto_array.h"
#include "foundation/banked_string.h"
#include "foundation/r_string.h"
#include "foundation/ref_count.h"
#include "param/param_class_source.h"

namespace corvane {

// The state of one binary load or save, reached through the context pointer
// of the SerializeBinStream.
struct ParamFileContext {
  // Strings met so far (versions 2 to 7 store strings by reference).
  AutoArray<RString> string_table_;
  int version_ = -1;
  Ref<IParamClassSource> source_;
  // Every class body is read at once; no placeholders are left.
  bool full_load_ = true;
  int enum_offset_ = -1;

  // Guards against hostile files: how deep class bodies and arrays nest, and
  // the furthest position read so far. Class bodies are stored one after the
  // other, so a body that starts before what was already read would make the
  // reader go over the same bytes again (and again, in loops).
  int depth_ = 0;
  int64_t frontier_ = 0;

  // Strings met lately, by a hash of their bytes. Entry names repeat from
  // class to class; a hit here shares the banked block without asking the
  // process-wide bank again.
  static constexpr int kRecentStrings = 1024;
  BankedString recent_[kRecentStrings];
};

// Nesting deeper than this is a file structure error.
inline constexpr int kParamMaxNesting = 200;

// The signature at the start of every binary configuration: 00 72 61 50.
inline constexpr uint8_t kParamBinarySignature[4] = {0x00, 0x72, 0x61, 0x50};
inline constexpr int kParamBinaryVersion = 8;

// Record type bytes of a class body.
enum ParamBinaryEntryType : int {
  kParamEntryClass = 0,
  kParamEntryValue = 1,
  kParamEntryArray = 2,
  kParamEntryClassDecl = 3,
  kParamEntryClassDelete = 4,
};

// Item type bytes of an array body (also the value type bytes, but for 3).
enum ParamBinaryItemType : int {
  kParamItemText = 0,
  kParamItemFloat = 1,
  kParamItemInt = 2,
  kParamItemArray = 3,
  kParamItemExpression = 4,
};

}  // namespace corvane
