#pragma once

#include <string>

#include "foundation/banked_string.h"
#include "param/param_array.h"
#include "param/text/param_text_lexer.h"

namespace corvane {

class Evaluator;
class ParamClass;
class ParamEntry;
class QIStream;

// Result codes of parsing the text form.
inline constexpr int kParamParseOk = 0;
inline constexpr int kParamParseStreamFailed = 2;
inline constexpr int kParamParseSyntaxError = 3;

// The grammar of the configuration text form (docs/formats/config-text.md):
// class bodies with values, arrays, nested classes with bases, declared-only
// classes, deletion markers, enums and __EXEC, read from a stream into a
// class. Messages go out in the frame "File %s, line %d: %s" with the
// stream's source location. A syntax error stops the parse; what was added
// before stays in the tree.
class ParamTextParser {
 public:
  // `evaluator` receives __EVAL, __EXEC and enum items; not owned.
  ParamTextParser(QIStream& in, Evaluator& evaluator) : lex_(in), evaluator_(evaluator) {}

  // Parses entries into `cls` until the end of the input (or a "}" that
  // closes it). kParamParseOk, kParamParseStreamFailed or
  // kParamParseSyntaxError.
  int ParseClassBody(ParamClass& cls);

  ParamTextLexer& Lexer() { return lex_; }

 private:
  int ParseClass(ParamClass& cls);
  int ParseDelete(ParamClass& cls);
  int ParseEnum(ParamClass& cls);
  int ParseExec(ParamClass& cls);
  int ParseArray(ParamClass& cls, const std::string& name);
  int ParseValue(ParamClass& cls, const std::string& name);
  int ParseArrayBody(ParamArrayItems& items);
  // The first definition of a name wins; a later one is reported and dropped.
  void Add(ParamClass& cls, ParamEntry* entry);
  // Integer, float or text by the text's form (after __EVAL).
  ParamEntry* MakeValue(const std::string& name, std::string& text, bool quoted, bool expression);
  IParamArrayValue* MakeItem(std::string& text, bool quoted, bool expression);
  // The kind decision of both: `make` builds the value or item from the raw
  // value of the kind chosen.
  template <class Make>
  auto MakeRaw(std::string& text, bool quoted, bool expression, Make make);
  void ApplyEval(std::string& text);
  // The banked form of `text`, through a small cache of recent texts: entry
  // names recur from class to class, and a hit spares the process-wide bank.
  BankedString Intern(const std::string& text);
  // False (reported) when one more class body or array would nest deeper
  // than the binary form can be read back.
  bool Enter();
  void Leave() { --depth_; }

  ParamTextLexer lex_;
  Evaluator& evaluator_;
  std::string name_;  // scratch token buffers, reused to avoid allocation
  std::string value_;
  int depth_ = 0;
  static constexpr int kRecentTexts = 512;
  BankedString recent_[kRecentTexts];
};

// The kind decision shared by values and items: 'i' integer, 'f' float,
// 't' text.
char ParamClassifyText(const char* text, int& int_value, float& float_value);

}  // namespace corvane
