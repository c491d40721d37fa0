#include "param/text/param_text_load.h"

#include <cstdio>
#include <memory>
#include <string>

#include "foundation/app_frame.h"
#include "param/param_class_source.h"
#include "param/param_file.h"
#include "param/param_value.h"
#include "param/text/param_preprocessor.h"
#include "param/text/param_text_parser.h"
#include "stream/bank_list.h"
#include "stream/q_f_bank.h"
#include "stream/qi_preprocessed_stream.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

// Parses preprocessed text held by `text` through a line-counting stream
// named `source_name`.
int ParsePreprocessed(ParamFile& file, const QOStrStream& text, const char* source_name,
                      IParamClassSource* source, int evaluator_argument) {
  auto memory = std::make_unique<QIStrStream>();
  memory->init(text);
  QIPreprocessedStream in(std::move(memory));
  in.SetSourceLocation(RString(source_name), 1);
  int result = ParamParseStream(file, in, source, evaluator_argument);
  if (in.fail() && in.error() != LSOK) result = static_cast<int>(in.error());
  return result;
}

}  // namespace

int ParamParseStream(ParamFile& file, QIStream& in, IParamClassSource* source,
                     int evaluator_argument) {
  file.Clear();
  file.CreateEvaluator(evaluator_argument);
  Evaluator& evaluator = *file.GetEvaluator();
  evaluator.BeginParsing();
  ParamTextParser parser(in, evaluator);
  int result = parser.ParseClassBody(file);
  evaluator.EndParsing();
  file.SetFile(&file);

  Ref<IParamClassSource> owner(source);
  if (source != nullptr && source->CanUnload()) {
    ReportLog("Strange - source %s of .cpp file can unload", source->GetOwnerName().Data());
    owner = Ref<IParamClassSource>(new ParamClassOwnerIndirectNoUnload(source));
  }
  // Fresh classes have no source: a null one leaves nothing to hand out.
  if (owner) file.SetSource(owner.GetRef(), true);

  if (in.fail()) return kParamParseStreamFailed;
  if (result == kParamParseOk && !parser.Lexer().AtEnd()) {
    ReportError("Config %s: some input after EndOfFile.", file.GetName());
    return kParamParseSyntaxError;
  }
  return result;
}

int ParamParseFile(ParamFile& file, const char* file_name, IParamClassSource* source,
                   int evaluator_argument) {
  file.SetName(file_name);
  if (!BankFileExists(file_name)) return kParamParseOk;
  QOStrStream text;
  if (!GetPreprocessorFunctions()->Preprocess(text, file_name, 1)) return kParamParseSyntaxError;
  return ParsePreprocessed(file, text, file_name, source, evaluator_argument);
}

int ParamParseBankEntry(ParamFile& file, QFBank* bank, const char* entry_name,
                        int evaluator_argument) {
  file.SetName(entry_name);
  QOStrStream text;
  if (!GetPreprocessorFunctions()->Preprocess(text, bank, entry_name, 1)) {
    return kParamParseSyntaxError;
  }
  Ref<IParamClassSource> source(new ParamClassOwnerNoUnload(entry_name));
  return ParsePreprocessed(file, text, entry_name, source.GetRef(), evaluator_argument);
}

int ParamParseText(ParamFile& file, const char* text, size_t length, const char* source_name,
                   int evaluator_argument) {
  auto memory = std::make_unique<QIStrStream>(text, length);
  QIPreprocessedStream in(std::move(memory));
  in.SetSourceLocation(RString(source_name), 1);
  return ParamParseStream(file, in, nullptr, evaluator_argument);
}

int ParamParseWordList(ParamFile& file, const char* file_name, int evaluator_argument) {
  file.SetName(file_name);
  if (!BankFileExists(file_name)) return kParamParseOk;
  QOStrStream text;
  if (!GetPreprocessorFunctions()->Preprocess(text, file_name, 1)) return kParamParseSyntaxError;
  file.Clear();
  file.CreateEvaluator(evaluator_argument);

  QIStrStream in;
  in.init(text);
  std::string word;
  int count = 0;
  auto flush = [&]() {
    if (word.empty()) return;
    char name[32];
    std::snprintf(name, sizeof(name), "Line%d", ++count);
    if (file.FindOwnIndex(name) >= 0) {
      ReportError("File %s, line %d: %s: Member already defined.", file_name, 1,
                  file.GetContext(name).Data());
    } else {
      file.AppendEntry(new ParamValueText(name, ParamRawValue(word.c_str())));
    }
    word.clear();
  };
  for (int c = in.get(); c >= 0; c = in.get()) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      flush();
    } else {
      word.push_back(static_cast<char>(c));
    }
  }
  flush();
  file.SetFile(&file);
  Ref<IParamClassSource> source(new ParamClassOwnerNoUnload(""));
  file.SetSource(source.GetRef(), true);
  return kParamParseOk;
}

}  // namespace corvane
