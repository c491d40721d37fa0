#pragma once

#include <cstddef>

namespace corvane {

class IParamClassSource;
class ParamFile;
class QFBank;
class QIStream;

// Loading a ParamFile from the configuration text form. Result codes:
// 0 success, 2 stream failure while parsing, 3 syntax error or
// preprocessing failure (kParamParse... in param_text_parser.h). A syntax
// error leaves what was parsed before it in the tree.

// A named file (through the archive banks, then the disk): the root takes
// the file's name; a file that does not exist answers 0 and leaves the tree
// as it was. The text goes through the process-wide preprocessor first.
int ParamParseFile(ParamFile& file, const char* file_name, IParamClassSource* source = nullptr,
                   int evaluator_argument = 0);
// An entry of `bank` (null: the file server and registered banks); the
// classes get a no-unload source named after the entry.
int ParamParseBankEntry(ParamFile& file, QFBank* bank, const char* entry_name,
                        int evaluator_argument = 0);
// The core step: clears the file, makes its evaluator anew, parses the whole
// stream as the root class body and binds every entry to the file. Content
// after a top-level "}" is reported as "Config %s: some input after
// EndOfFile." (code 3).
int ParamParseStream(ParamFile& file, QIStream& in, IParamClassSource* source = nullptr,
                     int evaluator_argument = 0);
// Text in memory, read as if it were the file `source_name` (for messages).
int ParamParseText(ParamFile& file, const char* text, size_t length, const char* source_name = "",
                   int evaluator_argument = 0);
// The plain word-list form: the n-th white-space separated word of the
// (preprocessed) file becomes the text value "Line<n>".
int ParamParseWordList(ParamFile& file, const char* file_name, int evaluator_argument = 0);

}  // namespace corvane
