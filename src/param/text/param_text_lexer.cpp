#include "param/text/param_text_lexer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "stream/qi_stream.h"

namespace corvane {
namespace {

// Stop sets hold one to three characters: a plain loop beats a library call.
inline bool IsStop(int c, const char* stops) {
  for (; *stops != '\0'; ++stops) {
    if (*stops == c) return true;
  }
  return false;
}

void TrimRight(std::string& text) {
  while (!text.empty() && IsParamSpace(static_cast<unsigned char>(text.back()))) text.pop_back();
}

}  // namespace

void ParamTextLexer::Unget() {
  if (!last_was_end_) in_.unget();
}

int ParamTextLexer::SkipWhite() {
  int c;
  do {
    c = Get();
  } while (IsParamSpace(c));
  Unget();
  return c;
}

void ParamTextLexer::SkipWhiteAndSemicolons() {
  int c;
  do {
    c = Get();
  } while (IsParamSpace(c) || c == ';');
  Unget();
}

void ParamTextLexer::ReadName(std::string& name) {
  name.clear();
  SkipWhite();
  for (;;) {
    int c = Get();
    if (!IsParamNameChar(c)) {
      Unget();
      return;
    }
    name.push_back(static_cast<char>(c));
  }
}

void ParamTextLexer::ReadQuoted(std::string& text) {
  for (;;) {
    int c = Get();
    if (c < 0) {
      // The input ended inside the quotes: the value ends with what was read.
      Error("Config: End of file encountered after %s", text.c_str());
      return;
    }
    if (c == '"') {
      c = Get();
      if (c == '"') {  // doubled quote
        text.push_back('"');
        continue;
      }
      Unget();
      c = SkipWhite();
      if (c != '\\') return;
      Get();
      c = Get();
      if (c != 'n') {
        Error("Config: Unsupported escape sequence \\%c after %s", c < 0 ? ' ' : c, text.c_str());
        return;
      }
      c = SkipWhite();
      if (c != '"') {
        Error("Config: '\"' expected after %s", text.c_str());
        return;
      }
      Get();
      text.push_back('\n');
      continue;
    }
    if (c == '\n' || c == '\r') Error("Config: End of line encountered after %s", text.c_str());
    text.push_back(static_cast<char>(c));
  }
}

ParamTextLexer::Value ParamTextLexer::ReadValue(std::string& text, const char* stops) {
  Value result;
  text.clear();
  int c = SkipWhite();
  if (c == '"') {
    Get();
    result.quoted = true;
    result.non_empty = true;
    ReadQuoted(text);
    return result;
  }
  for (;;) {
    c = Get();
    if (c < 0) break;
    if (IsStop(c, stops)) {
      Unget();
      break;
    }
    if (c == '\n' || c == '\r') {
      // The line ended inside the value: only directives and a stop
      // character may follow.
      bool done = false;
      while (!done) {
        c = SkipWhite();
        if (c == '#') {
          Get();
          if (!Directive()) {
            Error("Config: Wrong # directive");
            TrimRight(text);
            return result;  // non_empty stays false: the value counts as empty
          }
          continue;
        }
        if (c >= 0 && !IsStop(c, stops)) {
          Error("Config: '%c' after %s", c, text.c_str());
        }
        done = true;
      }
      break;
    }
    text.push_back(static_cast<char>(c));
  }
  TrimRight(text);
  result.non_empty = !text.empty();
  return result;
}

bool ParamTextLexer::Directive() {
  std::string word;
  ReadName(word);
  if (word != "line") return false;
  // Line number.
  SkipWhite();
  long number = 0;
  bool digits = false;
  for (int c = Get(); c >= '0' && c <= '9'; c = Get()) {
    if (number < 100000000) number = number * 10 + (c - '0');
    digits = true;
  }
  Unget();
  if (!digits) return false;
  // File name up to the end of the line, quoted or not.
  std::string file;
  int c = Get();
  while (c == ' ' || c == '\t') c = Get();
  if (c == '"') {
    for (c = Get(); c >= 0 && c != '"' && c != '\n' && c != '\r'; c = Get()) {
      file.push_back(static_cast<char>(c));
    }
    while (c >= 0 && c != '\n' && c != '\r') c = Get();
  } else {
    for (; c >= 0 && c != '\n' && c != '\r'; c = Get()) file.push_back(static_cast<char>(c));
  }
  if (c == '\r') {
    c = Get();
    if (c != '\n') Unget();
  }
  TrimRight(file);
  // The next line of the stream is line `number` of that file.
  in_.SetSourceLocation(RString(file.c_str()), static_cast<int>(number) - 1);
  return true;
}

void ParamTextLexer::Frame(bool warning, const char* format, va_list args) {
  char text[kReportBufferSize];
  FormatReportText(text, format, args);
  RString name;
  int line = 1;
  in_.GetSourceLocation(name, line);
  if (warning) {
    ReportWarning("File %s, line %d: %s", name.Data(), line, text);
  } else {
    ReportError("File %s, line %d: %s", name.Data(), line, text);
  }
}

void ParamTextLexer::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Frame(false, format, args);
  va_end(args);
}

void ParamTextLexer::WarningInFrame(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Frame(true, format, args);
  va_end(args);
}

bool ParamTextLexer::StreamFailed() const { return in_.fail(); }

bool ParamTextLexer::AtEnd() {
  int c = Get();
  Unget();
  return c < 0;
}

}  // namespace corvane
