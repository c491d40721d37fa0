#include "param/text/param_preprocessor.h"

#include "foundation/replaceable_functions.h"
#include "stream/bank_list.h"
#include "stream/file_buffer.h"
#include "stream/q_f_bank.h"
#include "stream/qi_f_stream.h"
#include "stream/qo_stream.h"

namespace corvane {
namespace {

PreprocessorFunctions g_default_preprocessor;
PreprocessorFunctions* g_preprocessor = &g_default_preprocessor;

void CopyStream(QIStream& in, QOStrStream& out) {
  char chunk[4096];
  while (!in.eof() && !in.fail()) {
    int64_t n = in.read(chunk, sizeof(chunk));
    if (n > 0) out.write(chunk, n);
  }
}

}  // namespace

bool PreprocessorFunctions::Preprocess(QOStrStream& out, QFBank* bank, const char* name, int) {
  if (bank == nullptr) return Preprocess(out, name, 1);
  if (!bank->EntryExists(name)) return false;
  Ref<IFileBuffer> entry = bank->OpenEntry(name);
  if (!entry) return false;
  QIStreamDataSource in(entry);
  CopyStream(in, out);
  return true;
}

bool PreprocessorFunctions::Preprocess(QOStrStream& out, const char* path, int) {
  if (!BankFileExists(path)) return false;
  QIFStreamB in;
  in.open(path);
  if (in.fail()) return false;
  CopyStream(in, out);
  return true;
}

PreprocessorFunctions* GetPreprocessorFunctions() { return g_preprocessor; }

PreprocessorFunctions* SetPreprocessorFunctions(PreprocessorFunctions* functions) {
  return ReplaceFunctions(g_preprocessor, g_default_preprocessor, functions);
}

}  // namespace corvane
