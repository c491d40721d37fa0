#pragma once

#include <string>
#include <vector>

namespace corvane {

class QOStream;

// Told the name of every entry opened from an archive bank (with the bank's
// file name), so that a tool can learn which parts of a bank are used.
class IBankLog {
 public:
  virtual ~IBankLog() = default;
  virtual void FileOpened(const char* bank_file, const char* entry) = 0;
};

// Remembers each distinct "bank entry" pair once, in the order first opened,
// and can write them as lines.
class QFBankLog final : public IBankLog {
 public:
  void FileOpened(const char* bank_file, const char* entry) override;

  const std::vector<std::string>& Lines() const { return lines_; }
  // One line per pair: the bank file, a space, the entry name, then `eol`.
  void Save(QOStream& out, const char* eol = "\n") const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace corvane
