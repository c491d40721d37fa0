#pragma once

#include "foundation/r_string.h"

namespace corvane {

class ParamFile;

// The number rules shared by value entries, array items and (later) the text
// parser's kind decision.

// The whole text as a decimal integer (32-bit, as the C library reads it with
// a 32-bit long), or "0x"/"0X" followed only by hexadecimal digits (wrapping
// at 32 bits). An empty text is no integer.
bool ParamTextToInt(const char* text, int& value);

// The whole text as a decimal float (C strtod, single precision), or "db"
// followed by a number x, which gives 10^(x * 0.05); characters after x log
// "invalid db value %s" but still give the amplitude. An empty text is no
// float.
bool ParamTextToFloat(const char* text, float& value);

// Reading a text value as a number: the rules above in the described order,
// then the owning file's evaluator; without a file the warning
// "Cannot evaluate '%s' - no file" and 0.
float ParamTextGetFloat(const char* text, ParamFile* file);
int ParamTextGetInt(const char* text, ParamFile* file);

// Hands an expression text to the file's evaluator (or warns and answers 0).
float ParamEvaluate(const char* text, ParamFile* file);

// Nearest integer, clamped to the 32-bit range (NaN gives 0).
int ParamRoundToInt(double value);

// "%g", "%d" and "%f" forms, formatted in a 256-byte buffer.
RString ParamFormatFloatG(float value);
RString ParamFormatFloatF(float value);
RString ParamFormatInt(int value);

// Localization of "$STR" texts through the process-wide hook; other texts
// come back as they are.
RString ParamLocalize(const char* text);

}  // namespace corvane
