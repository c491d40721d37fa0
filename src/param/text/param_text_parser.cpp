#include "param/text/param_text_parser.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "param/evaluator.h"
#include "param/param_binary_reader.h"
#include "param/param_class.h"
#include "param/param_class_kinds.h"
#include "param/param_file_context.h"
#include "param/param_value.h"
#include "param/param_value_conversion.h"

namespace corvane {
namespace {

// A class this large gets its name index, so that the duplicate check of
// every further entry stays cheap.
constexpr int kIndexThreshold = 32;

int CharArg(int c) { return c < 0 ? ' ' : c; }

// Reports the character `c` read where `expected` belongs in entry `name` of
// `cls`; answers the syntax error.
int ReportUnexpected(ParamTextLexer& lex, const ParamClass& cls, const std::string& name,
                     const char* prefix, int c, char expected) {
  lex.Error("%s%s: '%c' encountered instead of '%c'", prefix, cls.GetContext(name.c_str()).Data(),
            CharArg(c), expected);
  return kParamParseSyntaxError;
}

}  // namespace

char ParamClassifyText(const char* text, int& int_value, float& float_value) {
  if (ParamTextToInt(text, int_value)) return 'i';
  if (text[0] == 'd' && text[1] == 'b') {
    // "db" must be followed by a number and nothing else; other texts that
    // merely begin with "db" stay texts.
    char* end = nullptr;
    double x = std::strtod(text + 2, &end);
    if (end != text + 2 && *end == '\0') {
      float_value = static_cast<float>(std::pow(10.0, x * 0.05));
      return 'f';
    }
    return 't';
  }
  if (ParamTextToFloat(text, float_value)) return 'f';
  return 't';
}

BankedString ParamTextParser::Intern(const std::string& text) {
  uint32_t hash = 0;
  for (char c : text) hash = hash * 33 + static_cast<unsigned char>(c);
  BankedString& slot = recent_[hash % kRecentTexts];
  if (static_cast<size_t>(slot.GetLength()) != text.size() ||
      std::memcmp(slot.Data(), text.data(), text.size()) != 0) {
    slot = BankedString(text.c_str());
  }
  return slot;
}

bool ParamTextParser::Enter() {
  if (depth_ >= kParamMaxNesting) {
    lex_.Error("Config: nesting deeper than %d levels", kParamMaxNesting);
    return false;
  }
  ++depth_;
  return true;
}

void ParamTextParser::ApplyEval(std::string& text) {
  if (text.compare(0, 6, "__EVAL") != 0) return;
  RString result = evaluator_.EvaluateText(text.c_str() + 6);
  text.assign(result.Data());
}

template <class Make>
auto ParamTextParser::MakeRaw(std::string& text, bool quoted, bool expression, Make make) {
  if (expression) return make(ParamRawValueExpression(Intern(text)));
  if (!quoted) {
    ApplyEval(text);
    int i = 0;
    float f = 0;
    switch (ParamClassifyText(text.c_str(), i, f)) {
      case 'i':
        return make(ParamRawValueInt(i));
      case 'f':
        return make(ParamRawValueFloat(f));
      default:
        break;
    }
  }
  return make(ParamRawValue(Intern(text)));
}

ParamEntry* ParamTextParser::MakeValue(const std::string& name, std::string& text, bool quoted,
                                       bool expression) {
  BankedString banked_name = Intern(name);
  return MakeRaw(text, quoted, expression, [&banked_name]<class Raw>(Raw raw) -> ParamEntry* {
    return new ParamValueSpec<Raw>(banked_name, std::move(raw));
  });
}

IParamArrayValue* ParamTextParser::MakeItem(std::string& text, bool quoted, bool expression) {
  return MakeRaw(text, quoted, expression, []<class Raw>(Raw raw) -> IParamArrayValue* {
    return new ParamArrayValueSpec<Raw>(std::move(raw));
  });
}

void ParamTextParser::Add(ParamClass& cls, ParamEntry* entry) {
  if (cls.FindOwnIndex(entry->GetName()) >= 0) {
    lex_.Error("%s: Member already defined.", cls.GetContext(entry->GetName()).Data());
    delete entry;
    return;
  }
  cls.AppendEntry(entry);
  if (cls.GetEntryCount() == kIndexThreshold && !cls.HasIndex()) cls.BuildIndex();
}

int ParamTextParser::ParseClassBody(ParamClass& cls) {
  for (;;) {
    int c = lex_.SkipWhite();
    if (c < 0) return lex_.StreamFailed() ? kParamParseStreamFailed : kParamParseOk;
    if (c == '#') {
      lex_.Get();
      if (!lex_.Directive()) {
        lex_.Error("%s: Wrong # directive", cls.GetContext().Data());
        return kParamParseSyntaxError;
      }
      continue;
    }
    if (c == '}') {
      lex_.Get();
      lex_.SkipWhiteAndSemicolons();
      cls.Compact();
      ParamInheritAccess(cls);
      return kParamParseOk;
    }
    std::string name;
    lex_.ReadName(name);
    int result;
    if (name == "delete") {
      result = ParseDelete(cls);
    } else if (name == "class") {
      result = ParseClass(cls);
    } else if (name == "enum") {
      result = ParseEnum(cls);
    } else if (name == "__EXEC") {
      result = ParseExec(cls);
    } else {
      int next = lex_.Get();
      if (next == '[') {
        result = ParseArray(cls, name);
      } else {
        lex_.Unget();
        result = ParseValue(cls, name);
      }
    }
    if (result != kParamParseOk) return result;
  }
}

int ParamTextParser::ParseDelete(ParamClass& cls) {
  std::string name;
  lex_.ReadName(name);
  lex_.SkipWhite();
  int c = lex_.Get();
  if (c != ';') {
    return ReportUnexpected(lex_, cls, name, "", c, ';');
  }
  auto* marker = new ParamClassDelete(name.c_str());
  marker->SetParent(&cls);
  Add(cls, marker);
  return kParamParseOk;
}

int ParamTextParser::ParseClass(ParamClass& cls) {
  std::string name;
  lex_.ReadName(name);
  int c = lex_.SkipWhite();
  if (c == ';') {
    lex_.Get();
    auto* decl = new ParamClassDecl(name.c_str());
    decl->SetParent(&cls);
    Add(cls, decl);
    return kParamParseOk;
  }
  // Owned here until it is added to `cls`; every early return frees it.
  auto created = std::make_unique<ParamClass>(Intern(name));
  created->SetParent(&cls);
  if (c == ':') {
    lex_.Get();
    std::string base;
    lex_.ReadName(base);
    EntryHandle found = cls.FindEntryWide(base.c_str());
    if (!found) {
      lex_.Error("%s: Undefined base class '%s'", cls.GetContext(name.c_str()).Data(),
                 base.c_str());
      return kParamParseSyntaxError;
    }
    ParamClass* base_class = found->IsClass() ? found->GetClass() : nullptr;
    if (base_class == nullptr) {
      lex_.Error("%s: '%s' is not class", cls.GetContext(name.c_str()).Data(), base.c_str());
      return kParamParseSyntaxError;
    }
    created->SetBase(base_class);
    c = lex_.SkipWhite();
  }
  if (c != '{') {
    return ReportUnexpected(lex_, cls, name, "", c, '{');
  }
  lex_.Get();
  if (!Enter()) return kParamParseSyntaxError;
  int result = ParseClassBody(*created);
  Leave();
  // Added even after a syntax error inside it: what was parsed stays.
  Add(cls, created.release());
  return result;
}

int ParamTextParser::ParseEnum(ParamClass& cls) {
  std::string name;
  lex_.ReadName(name);
  int c = lex_.SkipWhite();
  if (c != '{') {
    return ReportUnexpected(lex_, cls, name, "", c, '{');
  }
  lex_.Get();
  int value = -1;
  std::string item;
  for (;;) {
    lex_.ReadName(item);
    c = lex_.SkipWhite();
    lex_.Get();
    if (c == '=') {
      lex_.ReadValue(value_, ",}");
      value = ParamRoundToInt(evaluator_.EvaluateEnumValue(value_.c_str()));
      c = lex_.SkipWhite();
      lex_.Get();
    } else {
      ++value;
    }
    if (!item.empty())
      evaluator_.DefineVariable(item.c_str(), static_cast<float>(value), true, true);
    if (c == ',') continue;
    if (c == '}') break;
    return ReportUnexpected(lex_, cls, name, "", c, '}');
  }
  lex_.SkipWhiteAndSemicolons();
  return kParamParseOk;
}

int ParamTextParser::ParseExec(ParamClass& cls) {
  const std::string name = "__EXEC";
  int c = lex_.SkipWhite();
  lex_.Get();
  if (c != '(') {
    return ReportUnexpected(lex_, cls, name, "", c, '(');
  }
  lex_.ReadValue(value_, ")");
  c = lex_.Get();
  if (c != ')') {
    return ReportUnexpected(lex_, cls, name, "", c, ')');
  }
  lex_.SkipWhiteAndSemicolons();
  evaluator_.Execute(value_.c_str());
  return kParamParseOk;
}

int ParamTextParser::ParseArray(ParamClass& cls, const std::string& name) {
  int c = lex_.SkipWhite();
  lex_.Get();
  if (c != ']') {
    return ReportUnexpected(lex_, cls, name, "Config: ", c, ']');
  }
  c = lex_.SkipWhite();
  lex_.Get();
  if (c != '=') {
    return ReportUnexpected(lex_, cls, name, "Config: ", c, '=');
  }
  auto* array = new ParamArray(Intern(name));
  int result = ParseArrayBody(array->Items());
  if (result != kParamParseOk) {
    Add(cls, array);
    return result;
  }
  c = lex_.SkipWhite();
  lex_.Get();
  if (c != ';') {
    lex_.Error("%s: '%c' encountered instead of ';'", cls.GetContext(name.c_str()).Data(),
               CharArg(c));
    Add(cls, array);
    return kParamParseSyntaxError;
  }
  Add(cls, array);
  return kParamParseOk;
}

int ParamTextParser::ParseArrayBody(ParamArrayItems& items) {
  int c = lex_.SkipWhite();
  lex_.Get();
  if (c != '{') {
    lex_.Error("Config: '%c' encountered instead of '{'", CharArg(c));
    return kParamParseSyntaxError;
  }
  for (;;) {
    c = lex_.SkipWhite();
    if (c == '{') {
      if (!Enter()) return kParamParseSyntaxError;
      auto* nested = new ParamArrayValueArray;
      items.Add(Ref<IParamArrayValue>(nested));
      int result = ParseArrayBody(nested->Items());
      Leave();
      if (result != kParamParseOk) return result;
    } else if (c == '#') {
      lex_.Get();
      if (!lex_.Directive()) lex_.Error("Config: Wrong # directive");
      continue;
    } else {
      bool expression = c == '@';
      if (expression) lex_.Get();
      ParamTextLexer::Value value = lex_.ReadValue(value_, ",;}");
      if (value.quoted || value.non_empty || expression) {
        items.Add(Ref<IParamArrayValue>(MakeItem(value_, value.quoted, expression)));
      } else {
        int stop = lex_.SkipWhite();
        if (stop == ',' || stop == ';') {
          items.Add(Ref<IParamArrayValue>(new ParamArrayValueSpec<ParamRawValue>()));
        }
      }
    }
    c = lex_.SkipWhite();
    lex_.Get();
    if (c < 0) {
      lex_.Error("EOF encountered.");
      return kParamParseSyntaxError;
    }
    if (c == ',' || c == ';') continue;
    if (c == '}') {
      lex_.SkipWhite();
      items.Realloc(items.Size());
      return kParamParseOk;
    }
    lex_.Error("Config: '%c' encountered instead of ','", c);
    return kParamParseSyntaxError;
  }
}

int ParamTextParser::ParseValue(ParamClass& cls, const std::string& name) {
  int c = lex_.SkipWhite();
  lex_.Get();
  if (c != '=') {
    lex_.Unget();
    lex_.ReadValue(value_, "\n\r");
    ReportWarning("Error context %s", value_.c_str());
    lex_.Error("'%s': '%c' encountered instead of '='", cls.GetContext(name.c_str()).Data(),
               CharArg(c));
    return kParamParseSyntaxError;
  }
  c = lex_.SkipWhite();
  const bool expression = c == '@';
  if (expression) lex_.Get();
  ParamTextLexer::Value value = lex_.ReadValue(value_, ";\n\r");
  c = lex_.Get();
  if (c != ';') {
    if (c == '\n' || c == '\r' || c < 0 || value.quoted) {
      lex_.WarningInFrame("'%s': Missing ';' at the end of line",
                          cls.GetContext(name.c_str()).Data());
    } else {
      lex_.Error("'%s': '%c' encountered instead of ';'", cls.GetContext(name.c_str()).Data(), c);
      return kParamParseSyntaxError;
    }
  }
  ParamEntry* entry = MakeValue(name, value_, value.quoted, expression);
  if (name == "access") cls.SetAccess(entry->GetInt());
  Add(cls, entry);
  return kParamParseOk;
}

}  // namespace corvane
