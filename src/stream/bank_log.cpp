#include "stream/bank_log.h"

#include <algorithm>
#include <cstring>

#include "stream/qo_stream.h"

namespace corvane {

void QFBankLog::FileOpened(const char* bank_file, const char* entry) {
  std::string line = std::string(bank_file ? bank_file : "") + " " + (entry ? entry : "");
  if (std::find(lines_.begin(), lines_.end(), line) == lines_.end()) lines_.push_back(line);
}

void QFBankLog::Save(QOStream& out, const char* eol) const {
  for (const std::string& line : lines_) {
    out.write(line.data(), static_cast<int64_t>(line.size()));
    out.write(eol, static_cast<int64_t>(std::strlen(eol)));
  }
}

}  // namespace corvane
