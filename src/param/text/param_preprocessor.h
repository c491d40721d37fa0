#pragma once

namespace corvane {

class QFBank;
class QOStrStream;

// Turns a named configuration source into the text the parser reads. The
// library's object copies the source unchanged; a program that wants macros
// or file inclusion installs its own (emitting "#line" directives keeps the
// parser's messages pointing at the original file and line).
class PreprocessorFunctions {
 public:
  PreprocessorFunctions() = default;
  PreprocessorFunctions(const PreprocessorFunctions&) = delete;
  PreprocessorFunctions& operator=(const PreprocessorFunctions&) = delete;
  virtual ~PreprocessorFunctions() = default;

  // An entry of `bank` (null: the file server and the registered banks).
  // True when `out` holds the text. `flag` is passed as 1 by the parser.
  virtual bool Preprocess(QOStrStream& out, QFBank* bank, const char* name, int flag);
  // A file. False when it does not exist (nothing written); a read error in
  // the middle ends the copy with what was read.
  virtual bool Preprocess(QOStrStream& out, const char* path, int flag);
};

// Never null; starts at a static default instance.
PreprocessorFunctions* GetPreprocessorFunctions();
// Installs `functions` (null restores the default); answers the previous one.
PreprocessorFunctions* SetPreprocessorFunctions(PreprocessorFunctions* functions);

}  // namespace corvane
