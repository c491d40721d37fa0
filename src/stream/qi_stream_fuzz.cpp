// Drives the input stream operations over arbitrary bytes, through a memory
// stream, a file-buffer window and the line-by-line stream, so that the
// sanitizers see every read stay inside the data.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "stream/file_buffer.h"
#include "stream/qi_f_stream.h"
#include "stream/qi_preprocessed_stream.h"
#include "stream/qi_str_stream.h"
#include "stream/qo_stream.h"

namespace {

void Exercise(corvane::QIStream& in, const uint8_t* ops, size_t op_count) {
  char line[64];
  char block[300];
  for (size_t i = 0; i < op_count; ++i) {
    const uint8_t op = ops[i];
    switch (op % 7) {
      case 0:
        in.get();
        break;
      case 1:
        in.read(block, op);
        break;
      case 2:
        in.readLine(line, 1 + op % sizeof(line));
        break;
      case 3:
        in.skipLine();
        break;
      case 4:
        in.seekg(static_cast<int64_t>(op) * 37 - 100);
        break;
      case 5:
        in.unget();
        break;
      case 6: {
        corvane::QOStrStream out;
        in.copy(out);
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const size_t op_count = data[0] % 32;
  if (size < 1 + op_count) return 0;
  const uint8_t* ops = data + 1;
  const uint8_t* body = data + 1 + op_count;
  const size_t body_size = size - 1 - op_count;

  corvane::QIStrStream memory(body, body_size);
  Exercise(memory, ops, op_count);

  corvane::Ref<corvane::IFileBuffer> whole =
      new corvane::FileBufferMemory(body, static_cast<int>(body_size));
  corvane::QIStreamDataSource window(
      new corvane::FileBufferSub(whole, ops[0] % 64, body_size / 2 + 1));
  Exercise(window, ops, op_count);

  corvane::QIPreprocessedStream lines(std::make_unique<corvane::QIStrStream>(body, body_size));
  Exercise(lines, ops, op_count);
  return 0;
}
