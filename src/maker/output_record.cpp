#include "maker/output_record.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "maker/cache_file.h"
#include "platform/file_system.h"

namespace corvane::maker {

namespace {

constexpr char kHeader[] = "patchbuild outputs 1";

// "<size> <time> <path>" of an existing file; empty when there is none.
std::string OutputLine(const std::string& output) {
  uint64_t size = 0;
  int64_t time = 0;
  if (!platform::FileSizeOf(output.c_str(), &size) ||
      !platform::FileModificationTime(output.c_str(), &time)) {
    return std::string();
  }
  char head[64];
  std::snprintf(head, sizeof head, "%llu %lld ", static_cast<unsigned long long>(size),
                static_cast<long long>(time));
  return head + output;
}

std::string FingerprintLine(uint64_t fingerprint) {
  char line[32];
  std::snprintf(line, sizeof line, "%016llx", static_cast<unsigned long long>(fingerprint));
  return line;
}

}  // namespace

bool OutputsCurrent(const std::string& path, uint64_t fingerprint,
                    const std::vector<std::string>& outputs) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return false;
  if (!std::getline(in, line) || line != FingerprintLine(fingerprint)) return false;
  for (const std::string& output : outputs) {
    const std::string now = OutputLine(output);
    if (!std::getline(in, line) || now.empty() || line != now) return false;
  }
  return !std::getline(in, line);  // no output more than asked for
}

bool RecordOutputs(const std::string& path, uint64_t fingerprint,
                   const std::vector<std::string>& outputs) {
  std::ostringstream text;
  text << kHeader << '\n' << FingerprintLine(fingerprint) << '\n';
  for (const std::string& output : outputs) {
    const std::string line = OutputLine(output);
    if (line.empty()) return false;
    text << line << '\n';
  }
  return WriteCacheFile(path, text.str());
}

void ForgetOutputs(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

}  // namespace corvane::maker
