#pragma once

#include <string>

#include "foundation/app_frame.h"
#include "stream/qi_stream.h"

namespace corvane {

// Character-level reading of the configuration text form: names, values
// (quoted with doubled quotes and \n joins, or unquoted up to stop
// characters), the line directive, and the message frame that cites the
// stream's source name and line. One character of look-back.
class ParamTextLexer {
 public:
  explicit ParamTextLexer(QIStream& in) : in_(in) {}

  // The next character as 0..255, or -1 at the end of the input.
  int Get() {
    int c = in_.get();
    last_was_end_ = c < 0;
    return c;
  }
  // Steps back over the character just read (nothing after the end).
  void Unget();
  // Skips white space; answers the first other character, unread (-1 at the end).
  int SkipWhite();
  // Skips white space and semicolons.
  void SkipWhiteAndSemicolons();
  // Name characters (alphanumeric or "_") after white space; may be empty.
  void ReadName(std::string& name);

  struct Value {
    bool quoted = false;
    bool non_empty = false;  // false for an unquoted value cut by a failed directive
  };
  // Reads a value up to one of `stops` (unread) or the end of the input.
  // Line breaks that are not stop characters end the line: a directive may
  // follow, then a stop character must. Trailing white space of an unquoted
  // value is removed.
  Value ReadValue(std::string& text, const char* stops);

  // After a "#": reads the line directive and points the stream at the
  // source line it names. False for any other directive.
  bool Directive();

  // "File %s, line %d: %s" as an error message, or as a warning.
  void Error(const char* format, ...) CORVANE_PRINTF(2, 3);
  void WarningInFrame(const char* format, ...) CORVANE_PRINTF(2, 3);

  bool StreamFailed() const;
  // True when nothing is left to read.
  bool AtEnd();

 private:
  void ReadQuoted(std::string& text);
  void Frame(bool warning, const char* format, va_list args);

  QIStream& in_;
  bool last_was_end_ = false;
};

inline bool IsParamSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool IsParamNameChar(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace corvane
